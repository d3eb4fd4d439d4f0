// The start and the life every loader program shares, around its own
// connect step: the banner, the answers to a command line the program does
// not run with, and, once connected, the scan loop over the real file
// system until a stop request. A program contributes only its texts, its
// file pattern and pause, and its loader.
#pragma once

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

#include "driver/command_line.h"
#include "driver/scan_loop.h"

namespace qx::driver {

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

// Prints the banner, then answers what ends the program before it
// connects: an unknown option or an unreadable value (the error, the usage
// and the options help; status 2), --help (the usage and the options help;
// status 0), --version (status 0), or fewer than four positional arguments
// (the usage line alone; `usage_exit_status`). Returns that exit status, or
// nothing when the program goes on: then `line` has at least four
// positional arguments.
std::optional<int> answer_command_line(const CommandLine& line, const ProgramTexts& texts,
                                       std::FILE* out);

// Installs the stop handlers and runs the scan loop over the real file
// system, taking files matching `pattern` from the input directory (the
// third positional argument) to the backup directory (the fourth), with the
// settle time of `line`, until a stop request; with --once for one scan.
// `line` must have at least four positional arguments.
void run_until_stopped(Loader& loader, const CommandLine& line, const std::string& pattern,
                       std::chrono::milliseconds pause, std::FILE* out);

}  // namespace qx::driver
