// The loaders' command line: options begin with "--" and are taken out
// before the positional arguments are counted.
//   --once          one scan, then exit 0
//   --settle-ms=N   leave files modified less than N ms ago for a later scan
//                   (default 1000; 0 turns the check off)
//   --instance=NAME the instance's name in the load history
//   --help, --version
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace qx::driver {

inline constexpr std::chrono::milliseconds kDefaultSettle{1000};

struct CommandLine {
  std::vector<std::string> positional;
  bool once = false;
  bool help = false;
  bool version = false;
  std::chrono::milliseconds settle = kDefaultSettle;
  // The instance's name in the load history; empty for "host:pid".
  std::string instance;
  // Set when an option is unknown or its value unreadable; the program then
  // prints it with its usage text and exits non-zero.
  std::string error;
};

CommandLine parse_command_line(int argc, const char* const* argv);

// The text printed for --help: `usage` followed by the options.
std::string options_help(const std::string& usage);

}  // namespace qx::driver
