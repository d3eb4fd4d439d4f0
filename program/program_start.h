// The start and the life every loader program shares: the banner, the
// answers to a command line the program does not run with, "Connecting to
// Oracle.....", one connect, and then the scan loop over the real file
// system until a stop request. A program contributes only its texts, its
// file pattern and pause, how it prints a failed connect, and its file
// handler.
#pragma once

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "db/session.h"
#include "os/console.h"
#include "program/command_line.h"
#include "scan/scan_loop.h"

namespace qx::program {

// The package the programs are shipped in, and its version: the one
// version an operator upgrades by, printed by --version after the
// program's own.
inline constexpr std::string_view kPackageName = "qx-loaders";
inline constexpr std::string_view kPackageVersion = QX_PACKAGE_VERSION;

// What one program prints before it connects.
struct ProgramTexts {
  std::string name;     // "tarvo": begins the line of a command-line error
  std::string title;    // the banner's title, exactly as printed
  std::string usage;    // the usage line, alone or before the options help
  std::string version;  // the whole --version line
  // The exit status after the usage line printed for too few positional
  // arguments.
  int usage_exit_status = 2;
};

struct ProgramSpec {
  ProgramTexts texts;
  std::string pattern;  // "*.PNR"
  std::chrono::milliseconds pause{0};
  // After a successful connect: "Connected to Oracle....." and the line
  // naming the database (the AIR loader), or nothing more (the others).
  bool announce_connection = false;
  // The text the program's own error printer prints for a failed status.
  std::string (*format_sql_error)(const db::Status& status) = nullptr;
  // The program's file handling, built once the session exists; it keeps
  // references to `session`.
  std::function<std::unique_ptr<scan::FileHandler>(db::Session& session, const CommandLine& line,
                                                   os::Console console)>
      make_handler;
};

// Prints the banner, then answers what ends the program before it
// connects: an unknown option or an unreadable value (one line naming the
// first, "NAME: unknown option --x; see --help"; status 2), --help (the
// usage and the options help; status 0), --version (the program's line
// and the package's version, "tarvo 2.0 (qx-loaders 2.1.0)"; status 0),
// or fewer than four positional arguments (the usage line alone;
// `usage_exit_status`). Returns that exit status, or nothing when the
// program goes on: then `line` has at least four positional arguments.
std::optional<int> answer_command_line(const CommandLine& line, const ProgramTexts& texts,
                                       os::Console console);

// Runs `spec` with the process's arguments: the stop handlers installed
// (stop_signal.h), the command line answered as above, an input directory
// that is the backup directory refused (one line, status 2;
// directory_check.h), then "Connecting to Oracle.....", the connect (a
// failure printed once through the program's printer; each later scan tries
// again; after a connect to a server, one line naming the program's tables
// it lacks), and the scan loop until a stop request, or once with --once. A
// stop requested before the connect returned ends the program without a
// scan. Returns the exit status: 0 after a stop request or a single scan,
// otherwise what answer_command_line returned.
int run_program(const ProgramSpec& spec, int argc, const char* const* argv, os::Console console);

}  // namespace qx::program
