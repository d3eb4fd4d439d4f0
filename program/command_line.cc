#include "program/command_line.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <string_view>

namespace qx::program {
namespace {

enum class Kind {
  flag,          // --name
  milliseconds,  // --name=N, N >= 0
  seconds,       // --name=N, N >= 1
  count,         // --name=N, N >= 1
  bytes,         // --name=N with an optional K, M or G (powers of 1024)
  text,          // --name=TEXT, not empty
};

struct Option {
  std::string_view name;  // "--settle-ms"
  Kind kind;
  // Where the value goes; exactly one is set, matching `kind`.
  bool CommandLine::*flag = nullptr;
  std::chrono::milliseconds CommandLine::*milliseconds = nullptr;
  std::chrono::seconds CommandLine::*seconds = nullptr;
  int CommandLine::*count = nullptr;
  int scan::BatchLimits::*batch_count = nullptr;
  std::uint64_t scan::BatchLimits::*batch_bytes = nullptr;
  std::chrono::milliseconds scan::BatchLimits::*batch_milliseconds = nullptr;
  std::uint64_t CommandLine::*bytes = nullptr;
  std::string CommandLine::*text = nullptr;
  std::string_view help;  // the option's lines of --help, after its name
};

// clang-format off
constexpr Option kOptions[] = {
    {.name = "--once", .kind = Kind::flag, .flag = &CommandLine::once,
     .help = "scan the input directory once, then exit (status: see README)"},
    {.name = "--check", .kind = Kind::flag, .flag = &CommandLine::check,
     .help = "check the arguments, directories, database and schema, print what is\n"
             "wrong or \"OK\", and exit; nothing is loaded"},
    {.name = "--settle-ms", .kind = Kind::milliseconds, .milliseconds = &CommandLine::settle,
     .help = "leave a file for a later scan until it kept still for N milliseconds\n"
             "(default 1000, 0 turns the check off)"},
    {.name = "--db-timeout", .kind = Kind::seconds, .seconds = &CommandLine::db_timeout,
     .help = "take a database that keeps an answer waiting N seconds as lost\n"
             "(default 60)"},
    {.name = "--instance", .kind = Kind::text, .text = &CommandLine::instance,
     .help = "name this instance in the load history (default host:process)"},
    {.name = "--password-file", .kind = Kind::text, .text = &CommandLine::password_file,
     .help = "read the database password from the first line of PATH"},
    {.name = "--quiet-idle", .kind = Kind::flag, .flag = &CommandLine::quiet_idle,
     .help = "leave out the scanning and completion lines of scans that found no file"},
    {.name = "--summary", .kind = Kind::flag, .flag = &CommandLine::summary,
     .help = "print a summary line of every file loaded"},
    {.name = "--log-file", .kind = Kind::text, .text = &CommandLine::log_file,
     .help = "append events (start, stop, files, failures) to PATH as JSON Lines"},
    {.name = "--metrics-file", .kind = Kind::text, .text = &CommandLine::metrics_file,
     .help = "write metrics to PATH after every scan, for a textfile collector"},
    {.name = "--max-file-size", .kind = Kind::bytes, .bytes = &CommandLine::max_file_size,
     .help = "leave files larger than N bytes (K, M, G allowed) unread (default 64M)"},
    {.name = "--failed-dir", .kind = Kind::text, .text = &CommandLine::failed_dir,
     .help = "move files that cannot be loaded to DIR, with NAME.reason beside them"},
    {.name = "--max-attempts", .kind = Kind::count, .count = &CommandLine::max_attempts,
     .help = "scans at which a file may fail to be read, or its load be refused for\n"
             "its own data, before it goes to the failed directory (default 3)"},
    {.name = "--batch-files", .kind = Kind::count, .batch_count = &scan::BatchLimits::files,
     .help = "load up to N waiting files in one transaction (default 64; 1 commits\n"
             "each file on its own)"},
    {.name = "--batch-lines", .kind = Kind::count, .batch_count = &scan::BatchLimits::lines,
     .help = "corvane: commit up to N lines, of one file or of several, in one\n"
             "transaction (default 1000; 1 commits every line on its own)"},
    {.name = "--batch-bytes", .kind = Kind::bytes, .batch_bytes = &scan::BatchLimits::bytes,
     .help = "close a batch at N bytes of files (K, M, G allowed) (default 4M)"},
    {.name = "--batch-ms", .kind = Kind::milliseconds,
     .batch_milliseconds = &scan::BatchLimits::time,
     .help = "close a batch N milliseconds after its first file was read\n"
             "(default 1000)"},
    {.name = "--help", .kind = Kind::flag, .flag = &CommandLine::help,
     .help = "print this text"},
    {.name = "--version", .kind = Kind::flag, .flag = &CommandLine::version,
     .help = "print the version"},
};
// clang-format on

bool read_number(std::string_view value, long long& out) {
  auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), out);
  return ec == std::errc() && end == value.data() + value.size();
}

bool read_bytes(std::string_view value, std::uint64_t& out) {
  int shift = 0;
  if (!value.empty()) {
    switch (value.back()) {
      case 'K':
        shift = 10;
        break;
      case 'M':
        shift = 20;
        break;
      case 'G':
        shift = 30;
        break;
      default:
        break;
    }
    if (shift != 0) value.remove_suffix(1);
  }
  long long number = 0;
  if (!read_number(value, number) || number < 1 || number > (1ll << (62 - shift))) return false;
  out = static_cast<std::uint64_t>(number) << shift;
  return true;
}

// Stores `value` (what follows "=", or nothing for a flag); false when it
// does not fit the option.
bool take(const Option& option, std::optional<std::string_view> value, CommandLine& line) {
  if (option.kind == Kind::flag) {
    if (value) return false;
    line.*option.flag = true;
    return true;
  }
  if (!value || value->empty()) return false;
  long long number = 0;
  switch (option.kind) {
    case Kind::milliseconds:
      if (!read_number(*value, number) || number < 0) return false;
      (option.milliseconds != nullptr ? line.*option.milliseconds
                                      : line.batch.*option.batch_milliseconds) =
          std::chrono::milliseconds(number);
      return true;
    case Kind::seconds:
      if (!read_number(*value, number) || number < 1 || number > 86400) return false;
      line.*option.seconds = std::chrono::seconds(number);
      return true;
    case Kind::count:
      if (!read_number(*value, number) || number < 1 || number > 1000000) return false;
      (option.count != nullptr ? line.*option.count : line.batch.*option.batch_count) =
          static_cast<int>(number);
      return true;
    case Kind::bytes:
      return read_bytes(
          *value, option.bytes != nullptr ? line.*option.bytes : line.batch.*option.batch_bytes);
    case Kind::text:
      line.*option.text = std::string(*value);
      return true;
    case Kind::flag:
      break;
  }
  return false;
}

// What --help writes after an option's name: "=N", "=DIR", ... or nothing.
std::string_view value_hint(const Option& option) {
  switch (option.kind) {
    case Kind::flag:
      return "";
    case Kind::milliseconds:
    case Kind::seconds:
    case Kind::count:
    case Kind::bytes:
      return "=N";
    case Kind::text:
      return option.name.ends_with("dir")  ? "=DIR"
             : option.name == "--instance" ? "=NAME"
                                           : "=PATH";
  }
  return "";
}

}  // namespace

std::string roff(std::string_view text) {
  std::string out;
  bool line_start = true;
  for (char c : text) {
    if (line_start && (c == '.' || c == '\'')) out += "\\&";
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
    line_start = c == '\n';
  }
  return out;
}

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!arg.starts_with("--")) {
      line.positional.emplace_back(arg);
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    std::optional<std::string_view> value;
    if (equals != std::string_view::npos) value = arg.substr(equals + 1);
    const Option* option = nullptr;
    for (const Option& candidate : kOptions) {
      if (candidate.name == name) option = &candidate;
    }
    if (!line.error.empty()) continue;
    if (option == nullptr) {
      line.error = "unknown option " + std::string(arg);
    } else if (!take(*option, value, line)) {
      line.error = "invalid value in " + std::string(arg);
    }
  }
  return line;
}

std::string options_help(const std::string& usage) {
  std::string text = usage + "Options:\n";
  for (const Option& option : kOptions) {
    std::string head = "  " + std::string(option.name) + std::string(value_hint(option));
    head.resize(std::max<std::size_t>(head.size() + 1, 22), ' ');
    std::string_view help = option.help;
    for (std::size_t start = 0; start <= help.size();) {
      std::size_t end = help.find('\n', start);
      if (end == std::string_view::npos) end = help.size();
      text += (start == 0 ? head : std::string(22, ' '));
      text.append(help.substr(start, end - start));
      text += '\n';
      start = end + 1;
    }
  }
  return text;
}

std::string options_manual() {
  std::string text;
  for (const Option& option : kOptions) {
    text += ".TP\n\\fB" + roff(option.name) + "\\fR" + roff(value_hint(option)) + "\n";
    std::string help(option.help);
    // --help breaks its lines for a terminal; the page is filled by man.
    for (char& c : help) c = c == '\n' ? ' ' : c;
    text += roff(help) + "\n";
  }
  return text;
}

}  // namespace qx::program
