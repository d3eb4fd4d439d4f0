// Runs a built program as an operator's shell would, for the end-to-end
// tests: the programs are found in the build tree that QX_BUILD_DIR names
// (CTest sets it).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qx::testing {

struct ProgramRun {
  int exit_code;  // -1 when the program did not exit by itself
  std::string output;
};

// The path of a built program, `in_build` relative to the build tree
// ("tarvo/tarvo"). Throws std::runtime_error when QX_BUILD_DIR is not set.
std::string built_program_path(const std::string& in_build);

// Runs the built program `in_build` with `args`, each passed verbatim, in
// the directory `dir`, with standard output and standard error both written
// to dir/output.txt; returns its exit status and everything it printed.
ProgramRun run_built_program(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir);

// Runs the built program `in_build` with `args` in the directory `dir`, its
// standard output and standard error on a pipe whose read end is closed
// before the program starts, so that every write it makes fails; returns its
// exit status (-1 when a signal ended it).
int run_built_program_unread(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir);

}  // namespace qx::testing
