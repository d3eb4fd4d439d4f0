// The loaders' command line: options begin with "--" and are taken out
// before the positional arguments are counted. Each option is one row of
// the table in command_line.cc (its name, the kind of its value, where it
// goes, and its line of --help); options_help() prints that table.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scan/batch_limits.h"

namespace qx::program {

inline constexpr std::chrono::milliseconds kDefaultSettle{1000};
inline constexpr std::uint64_t kDefaultMaxFileSize = 64ull << 20;
inline constexpr int kDefaultMaxAttempts = 3;

struct CommandLine {
  std::vector<std::string> positional;
  bool once = false;
  bool check = false;
  bool help = false;
  bool version = false;
  bool summary = false;
  std::chrono::milliseconds settle = kDefaultSettle;
  // The instance's name in the load history; empty for "host:pid".
  std::string instance;
  // A file whose first line is the database password.
  std::string password_file;
  std::string log_file;      // JSON Lines event log; empty for none
  std::string metrics_file;  // metrics in the text exposition format; empty for none
  std::string failed_dir;    // where files that cannot be loaded go; empty: they stay
  std::uint64_t max_file_size = kDefaultMaxFileSize;
  int max_attempts = kDefaultMaxAttempts;
  // Files per transaction of a backlog (the loaders that commit whole files).
  scan::BatchLimits batch;
  // How long a database may keep an answer waiting before its connection
  // is taken as lost.
  std::chrono::seconds db_timeout{60};
  // Leave out the scanning line and the completion line of a scan that
  // found no file (a service's journal need not hear of every idle scan).
  bool quiet_idle = false;
  // Set when an option is unknown or its value unreadable, naming the
  // first such option; the program then prints it and exits non-zero.
  std::string error;
};

CommandLine parse_command_line(int argc, const char* const* argv);

// The text printed for --help: `usage` followed by the options.
std::string options_help(const std::string& usage);

// The same options for a manual page: one roff ".TP" paragraph each, the
// option in bold and its help as one filled paragraph.
std::string options_manual();

// `text` as roff text for a manual page: backslashes and hyphens escaped,
// and a line that would begin with a control character made plain.
std::string roff(std::string_view text);

}  // namespace qx::program
