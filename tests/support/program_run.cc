#include "support/program_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

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

int run_built_program_unread(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir) {
  std::string program = built_program_path(in_build);
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int ends[2];
  if (::pipe(ends) != 0) throw std::runtime_error("pipe failed");
  ::close(ends[0]);
  pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    ::dup2(ends[1], STDOUT_FILENO);
    ::dup2(ends[1], STDERR_FILENO);
    if (::chdir(dir.c_str()) == 0) ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(ends[1]);
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) throw std::runtime_error("waitpid failed");
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qx::testing
