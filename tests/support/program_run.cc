#include "support/program_run.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <stdexcept>
#include <thread>

#include "support/temp_dir.h"

namespace qx::testing {
namespace {

// `arg` as one word of the shell, whatever characters it holds.
std::string quoted(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

}  // namespace

std::size_t occurrences(std::string_view text, std::string_view part) {
  std::size_t count = 0;
  for (auto at = text.find(part); at != std::string_view::npos;
       at = text.find(part, at + part.size())) {
    ++count;
  }
  return count;
}

std::string built_program_path(const std::string& in_build) {
  if (std::filesystem::path(in_build).is_absolute()) return in_build;
  const char* build = std::getenv("QX_BUILD_DIR");
  if (build == nullptr) throw std::runtime_error("QX_BUILD_DIR is not set; run through ctest");
  return std::string(build) + "/" + in_build;
}

ProgramRun run_built_program(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir) {
  const std::filesystem::path output = dir / "output.txt";
  std::string command =
      "cd " + quoted(dir.string()) + " && " + quoted(built_program_path(in_build));
  for (const auto& arg : args) command += " " + quoted(arg);
  command += " > " + quoted(output.string()) + " 2>&1";
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_file(output)};
}

pid_t start_built_program(const std::string& in_build, const std::vector<std::string>& args,
                          const std::filesystem::path& dir, int output) {
  std::string program = built_program_path(in_build);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    if (::chdir(dir.c_str()) == 0) ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return pid;
}

int run_built_program_unread(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir) {
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
  ::close(ends[0]);
  pid_t pid = start_built_program(in_build, args, dir, ends[1]);
  ::close(ends[1]);
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) throw std::runtime_error("waitpid failed");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

BackgroundProgram::BackgroundProgram(const std::string& in_build,
                                     const std::vector<std::string>& args,
                                     const std::filesystem::path& dir,
                                     const std::filesystem::path& output) {
  int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) throw std::runtime_error("cannot write " + output.string());
  try {
    pid_ = start_built_program(in_build, args, dir, out);
  } catch (...) {
    ::close(out);
    throw;
  }
  ::close(out);
}

BackgroundProgram::~BackgroundProgram() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

int BackgroundProgram::stop(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  pid_t reaped = 0;
  while ((reaped = ::waitpid(pid_, &status, WNOHANG)) == 0 &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (reaped != pid_) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return -1;
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void expect_unreachable_database_told_once(const ProgramRun& run) {
  EXPECT_EQ(occurrences(run.output, "unable to open"), 2u) << run.output;
  EXPECT_EQ(occurrences(run.output, "Cannot connect to the database sqlite:"), 1u) << run.output;
  EXPECT_EQ(run.exit_code, 3);
}

}  // namespace qx::testing
