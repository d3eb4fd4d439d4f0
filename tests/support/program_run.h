// Runs a built program as an operator's shell would, for the end-to-end
// tests: the programs are found in the build tree that QX_BUILD_DIR names
// (CTest sets it).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qx::testing {

// The contact block every program prints right after its title. It is typed
// out here, not taken from the programs, so that a changed character in
// what they print fails the tests.
inline constexpr std::string_view kContactBlock =
    "Harbourline Software Ltd., back-office interface loaders\n"
    "P.O. Box  : 2207, Harbour Street, Portsmouth PO1 3AX\n"
    "Telephone : +44 20 7946 0321\n"
    "Fax       : +44 20 7946 0322\n"
    "E-mail    : support@harbourline.example\n";

// How often `part` (not empty) occurs in `text`, without overlaps.
std::size_t occurrences(std::string_view text, std::string_view part);

struct ProgramRun;
// A --once run whose SQLite database cannot be opened: the failure is told
// once through the error printer and once in full for the operator, not
// again by the first scan, and the run ends with status 3.
void expect_unreachable_database_told_once(const ProgramRun& run);

struct ProgramRun {
  int exit_code;  // -1 when the program did not exit by itself
  std::string output;
};

// The path of a built program, `in_build` relative to the build tree
// ("tarvo/tarvo"), or an absolute path, taken as it stands (a caller that
// knows where its programs were built). Throws std::runtime_error when a
// relative path is given and QX_BUILD_DIR is not set.
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
// Starts the built program `in_build` with `args` in `dir`, its standard
// output and error on `output` (which the caller closes); returns its pid.
pid_t start_built_program(const std::string& in_build, const std::vector<std::string>& args,
                          const std::filesystem::path& dir, int output);

int run_built_program_unread(const std::string& in_build, const std::vector<std::string>& args,
                             const std::filesystem::path& dir);

// A built program started in the background, as a service manager starts
// one, its standard output and standard error written to a file. One that is
// still running when the object goes is killed and reaped.
class BackgroundProgram {
 public:
  // Starts the built program `in_build` with `args` in the directory `dir`,
  // writing what it prints to `output`. Throws when it cannot be started.
  BackgroundProgram(const std::string& in_build, const std::vector<std::string>& args,
                    const std::filesystem::path& dir, const std::filesystem::path& output);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  // Sends SIGTERM and waits up to `limit` for the program to exit; returns
  // its exit status, or -1 when a signal ended it or it did not exit in time
  // (it is killed then).
  int stop(std::chrono::milliseconds limit);

 private:
  pid_t pid_ = -1;
};

}  // namespace qx::testing
