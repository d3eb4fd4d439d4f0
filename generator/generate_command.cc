#include "generator/generate_command.h"

#include <charconv>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace qx::generator {
namespace {

template <class Number>
Number parse_number(std::string_view option, std::string_view text, Number low, Number high) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    throw std::invalid_argument(std::string(option) + " needs a number from " +
                                std::to_string(low) + " to " + std::to_string(high) + ", not '" +
                                std::string(text) + "'");
  }
  return value;
}

}  // namespace

GenerateCommand parse_generate_command(const std::vector<std::string>& args) {
  if (args.empty()) throw std::invalid_argument("no format given");
  GenerateCommand command;
  command.format = find_sample_format(args[0]);
  if (command.format == nullptr) throw std::invalid_argument("unknown format '" + args[0] + "'");

  constexpr int kMaxInt = std::numeric_limits<int>::max();
  for (std::size_t i = 1; i < args.size(); ++i) {
    std::string_view option = args[i];
    if (option == "--crlf") {
      command.backlog.file.crlf = true;
      continue;
    }
    std::string_view value;
    if (const auto equals = option.find('='); equals != option.npos) {
      value = option.substr(equals + 1);
      option = option.substr(0, equals);
    } else if (option.starts_with("--") && i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw std::invalid_argument("'" + std::string(option) + "' is not an option with a value");
    }
    auto& backlog = command.backlog;
    if (option == "--out") {
      command.out = std::filesystem::path(std::string(value));
    } else if (option == "--count") {
      backlog.count = parse_number(option, value, 1, kMaxFileNumber);
    } else if (option == "--first") {
      backlog.first_number = parse_number(option, value, 1, kMaxFileNumber);
    } else if (option == "--records") {
      backlog.file.records = parse_number(option, value, 1, kMaxInt);
    } else if (option == "--bookings") {
      backlog.file.bookings = parse_number(option, value, 1, kMaxInt);
    } else if (option == "--seed") {
      backlog.seed =
          parse_number(option, value, std::uint64_t{0}, std::numeric_limits<std::uint64_t>::max());
    } else {
      throw std::invalid_argument("unknown option '" + std::string(option) + "'");
    }
  }
  if (command.out.empty()) throw std::invalid_argument("--out DIR is required");
  if (command.backlog.file.bookings > command.backlog.file.records) {
    throw std::invalid_argument("--bookings cannot exceed --records");
  }
  if (command.backlog.first_number > kMaxFileNumber - command.backlog.count + 1) {
    throw std::invalid_argument("--first plus --count passes file number " +
                                std::to_string(kMaxFileNumber));
  }
  return command;
}

std::string generate_usage() {
  std::string formats;
  for (const auto& format : sample_formats()) {
    if (!formats.empty()) formats += "|";
    formats += format.name;
  }
  return "usage: qx_generate " + formats +
         " --out DIR [--count N] [--records M] [--bookings B] [--seed S] [--first K] [--crlf]\n"
         "Writes N sample interface files of M records each, B bookings to a file, into\n"
         "DIR, named like AIR000001.air and numbered from K (default 1). The same seed\n"
         "writes the same files.\n";
}

}  // namespace qx::generator
