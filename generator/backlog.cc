#include "generator/backlog.h"

#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <system_error>

#include "generator/sample_random.h"

namespace qx::generator {
namespace {

// Writes `bytes` to `path` through stdio and checks every step, so a full
// disk is reported instead of leaving a short file.
void write_whole(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) throw std::system_error(errno, std::generic_category(), "open");
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int saved_errno = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written) throw std::system_error(saved_errno, std::generic_category(), "write");
  if (!closed) throw std::system_error(errno, std::generic_category(), "close");
}

}  // namespace

std::string sample_file_name(const SampleFormat& format, int number) {
  std::string digits = std::to_string(number);
  if (digits.size() < 6) digits.insert(0, 6 - digits.size(), '0');
  return std::string(format.file_prefix) + digits + "." + std::string(format.extension);
}

std::string partial_file_name(const SampleFormat& format, int number) {
  return sample_file_name(format, number) + ".partial";
}

std::uint64_t sample_file_seed(std::uint64_t backlog_seed, int number) {
  return mix_seed(backlog_seed, static_cast<std::uint64_t>(number));
}

std::vector<WrittenFile> write_backlog(const SampleFormat& format, const BacklogOptions& options,
                                       const std::filesystem::path& directory,
                                       const std::function<void(const WrittenFile&)>& on_written) {
  if (options.count < 1 || options.first_number < 1 ||
      options.first_number > kMaxFileNumber - options.count + 1) {
    throw std::invalid_argument("file numbers must lie between 1 and " +
                                std::to_string(kMaxFileNumber));
  }
  std::vector<WrittenFile> written;
  for (int i = 0; i < options.count; ++i) {
    const int number = options.first_number + i;
    const auto partial = directory / partial_file_name(format, number);
    const auto final_path = directory / sample_file_name(format, number);
    const std::string bytes = format.generate(options.file, sample_file_seed(options.seed, number));
    try {
      write_whole(partial, bytes);
      std::filesystem::rename(partial, final_path);
    } catch (const std::exception& error) {
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      throw std::runtime_error("cannot write " + final_path.string() + ": " + error.what());
    }
    written.push_back({final_path, bytes.size()});
    if (on_written) on_written(written.back());
  }
  return written;
}

}  // namespace qx::generator
