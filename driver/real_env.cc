#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>

#include "driver/env.h"

#if __has_include(<unistd.h>)
#include <fcntl.h>
#include <unistd.h>
#define QX_HAVE_FSYNC 1
#endif

namespace qx::driver {
namespace fs = std::filesystem;

namespace {

IoResult from_errno() {
  return IoResult::failure(std::error_code(errno, std::generic_category()));
}

// The backup copy must be on disk before the input file is removed, or a
// power cut could lose the file altogether.
IoResult flush_to_disk([[maybe_unused]] const fs::path& path) {
#ifdef QX_HAVE_FSYNC
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return from_errno();
  int rc = ::fsync(fd);
  IoResult result = rc == 0 ? IoResult::success() : from_errno();
  ::close(fd);
  return result;
#else
  return IoResult::success();
#endif
}

}  // namespace

IoResult RealEnv::list_directory(const fs::path& dir, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  std::error_code error;
  fs::directory_iterator it(dir, error);
  if (error) return IoResult::failure(error);
  for (const auto& item : it) {
    DirectoryEntry entry;
    entry.name = item.path().filename().string();
    std::error_code item_error;
    entry.regular_file = item.is_regular_file(item_error);
    if (entry.regular_file) {
      entry.size = item.file_size(item_error);
      entry.modified = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
          std::chrono::file_clock::to_sys(item.last_write_time(item_error)));
    }
    // A file that vanished between the listing and the look at it is simply
    // not there any more.
    if (!item_error) entries.push_back(std::move(entry));
  }
  return IoResult::success();
}

IoResult RealEnv::read_file(const fs::path& path, std::string& contents) {
  contents.clear();
  std::ifstream in(path, std::ios::binary);
  if (!in) return from_errno();
  contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    contents.clear();
    return IoResult::failure(std::make_error_code(std::errc::io_error));
  }
  return IoResult::success();
}

IoResult RealEnv::rename_file(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::rename(from, to, error);
  return error ? IoResult::failure(error) : IoResult::success();
}

IoResult RealEnv::copy_file(const fs::path& from, const fs::path& to) {
  std::error_code error;
  fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (error) return IoResult::failure(error);
  return flush_to_disk(to);
}

IoResult RealEnv::remove_file(const fs::path& path) {
  std::error_code error;
  if (!fs::remove(path, error) && !error) {
    error = std::make_error_code(std::errc::no_such_file_or_directory);
  }
  return error ? IoResult::failure(error) : IoResult::success();
}

std::chrono::system_clock::time_point RealEnv::now() {
  return std::chrono::system_clock::now();
}

void RealEnv::sleep_for(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

}  // namespace qx::driver
