#include "support/program_run.h"

#include <sys/wait.h>

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

}  // namespace qx::testing
