#include "driver/command_line.h"

#include <charconv>
#include <string_view>

namespace qx::driver {

CommandLine parse_command_line(int argc, const char* const* argv) {
  CommandLine line;
  constexpr std::string_view settle_prefix = "--settle-ms=";
  constexpr std::string_view instance_prefix = "--instance=";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (!arg.starts_with("--")) {
      line.positional.emplace_back(arg);
    } else if (arg == "--once") {
      line.once = true;
    } else if (arg == "--help") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (arg.starts_with(instance_prefix)) {
      line.instance = arg.substr(instance_prefix.size());
      if (line.instance.empty()) line.error = "empty name in " + std::string(arg);
    } else if (arg.starts_with(settle_prefix)) {
      std::string_view value = arg.substr(settle_prefix.size());
      long long ms = -1;
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), ms);
      if (ec != std::errc() || end != value.data() + value.size() || ms < 0) {
        line.error = "invalid value in " + std::string(arg);
      } else {
        line.settle = std::chrono::milliseconds(ms);
      }
    } else {
      line.error = "unknown option " + std::string(arg);
    }
  }
  return line;
}

std::string options_help(const std::string& usage) {
  return usage +
         "Options:\n"
         "  --once          scan the input directory once, then exit\n"
         "  --settle-ms=N   leave files changed less than N milliseconds ago for a later\n"
         "                  scan (default 1000, 0 turns the check off)\n"
         "  --instance=NAME name this instance in the load history (default host:process)\n"
         "  --help          print this text\n"
         "  --version       print the version\n";
}

}  // namespace qx::driver
