// The command line of qx_generate: a format word, then options.
//   qx_generate FORMAT --out DIR [--count N] [--records M] [--bookings B]
//                      [--seed S] [--first K] [--crlf]
// Every format takes the same options, so a new format needs nothing here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "generator/backlog.h"
#include "generator/sample_format.h"

namespace qx::generator {

struct GenerateCommand {
  const SampleFormat* format = nullptr;  // points into sample_formats()
  std::filesystem::path out;
  BacklogOptions backlog;
};

// The arguments after the program name. Options take their value as the next
// argument or after "=" (--count=5). Throws std::invalid_argument with a
// one-line reason when the format is unknown, --out is missing, an option is
// unknown or lacks its value, or a number is malformed or out of range.
GenerateCommand parse_generate_command(const std::vector<std::string>& args);

// The usage text, listing the known formats.
std::string generate_usage();

}  // namespace qx::generator
