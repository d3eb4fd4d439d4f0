// Writing a backlog of sample files into a directory the way a reservation
// system drops them: each file is written in full under a temporary name that
// no loader's pattern matches, then renamed to its final name, so a loader
// scanning the directory never sees half a file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "generator/sample_format.h"

namespace qx::generator {

struct BacklogOptions {
  int count = 1;         // files to write, at least 1
  int first_number = 1;  // the number in the first file's name
  std::uint64_t seed = 1;
  FileOptions file{};
};

// Highest number a file name can carry; six digits keep the names in the
// order they were written when a loader sorts them.
inline constexpr int kMaxFileNumber = 999999;

struct WrittenFile {
  std::filesystem::path path;
  std::size_t bytes = 0;
};

// "AIR000001.air" for number 1.
std::string sample_file_name(const SampleFormat& format, int number);
// The name a file is written under before it is complete: the final name
// with ".partial" after it, which ends in no format's extension.
std::string partial_file_name(const SampleFormat& format, int number);
// The seed of the file with that number, so that a file's bytes depend on the
// backlog seed and its number only (not on how many files are written).
std::uint64_t sample_file_seed(std::uint64_t backlog_seed, int number);

// Writes options.count files numbered from options.first_number into
// `directory` (which must exist), replacing files of the same names, and
// calls `on_written` after each one is in place. Throws std::runtime_error
// naming the file when one cannot be written or renamed, or
// std::invalid_argument when the numbers pass kMaxFileNumber; the files
// written before stay, and the failed file's temporary is removed.
std::vector<WrittenFile> write_backlog(
    const SampleFormat& format, const BacklogOptions& options,
    const std::filesystem::path& directory,
    const std::function<void(const WrittenFile&)>& on_written = nullptr);

}  // namespace qx::generator
