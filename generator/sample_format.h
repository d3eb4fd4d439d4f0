// What a sample file format is to the generator: a name for the command line,
// how its files are named, and a function that makes one file's bytes from a
// seed. Every format lives in a file of its own and is listed once in
// sample_formats(); the random helpers, the file writing and the command line
// are shared by all of them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qx::generator {

struct FileOptions {
  // Records (lines) per file, header lines included; at least 1.
  int records = 50;
  // Bookings per file, each opened by its own header line; 1 to `records`.
  // Formats that carry one booking per file ignore it.
  int bookings = 1;
  // End every line with CR LF instead of the format's own line end.
  bool crlf = false;
};

struct SampleFormat {
  std::string_view name;         // the command-line word, "air"
  std::string_view file_prefix;  // "AIR" in AIR000001.air
  std::string_view extension;    // "air", without the dot
  // One file's bytes; the same options and seed give the same bytes.
  std::string (*generate)(const FileOptions& options, std::uint64_t seed);
};

// Every format the generator knows, in the order the usage text lists them.
std::span<const SampleFormat> sample_formats();
// The format called `name`; nullptr when there is none.
const SampleFormat* find_sample_format(std::string_view name);

// The line end to write: CR LF when the options ask for it, else the format's
// own.
inline std::string_view line_end(const FileOptions& options, std::string_view own_line_end) {
  return options.crlf ? std::string_view("\r\n") : own_line_end;
}

}  // namespace qx::generator
