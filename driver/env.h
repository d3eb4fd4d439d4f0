// The loaders reach the operating system only through this interface: list
// a directory, read a file, rename, copy, remove, the clock and sleeping.
// RealEnv is the one real implementation (std::filesystem and the C++
// library); tests substitute an Env that fails chosen calls or shows a file
// that is still being written.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace qx::driver {

// The outcome of one file-system call, or of a step made of several:
// success, or the reason it failed. A step names the call that failed in
// `context` ("copy failed"), so that its reason reads whole.
class IoResult {
 public:
  static IoResult success() { return IoResult(); }
  static IoResult failure(std::error_code error, std::string context = {}) {
    return IoResult(error, std::move(context));
  }

  bool ok() const { return !error_; }
  const std::error_code& error() const { return error_; }
  // "copy failed: No space left on device", or the error's text alone.
  std::string reason() const {
    return context_.empty() ? error_.message() : context_ + ": " + error_.message();
  }

 private:
  IoResult() = default;
  IoResult(std::error_code error, std::string context)
      : error_(error), context_(std::move(context)) {}
  std::error_code error_;
  std::string context_;
};

struct DirectoryEntry {
  std::string name;  // the name alone, as the directory holds it
  bool regular_file = false;
  std::uintmax_t size = 0;
  std::chrono::system_clock::time_point modified;
};

class Env {
 public:
  virtual ~Env() = default;

  // Fills `entries` with what `dir` holds, in no particular order. After a
  // failure `entries` is empty.
  virtual IoResult list_directory(const std::filesystem::path& dir,
                                  std::vector<DirectoryEntry>& entries) = 0;
  // Reads the whole file, byte for byte. After a failure `contents` is empty.
  virtual IoResult read_file(const std::filesystem::path& path, std::string& contents) = 0;
  // Renames `from` to `to`, replacing a file at `to`. After a failure both
  // are as they were. Fails with std::errc::cross_device_link when the two
  // lie on different file systems.
  virtual IoResult rename_file(const std::filesystem::path& from,
                               const std::filesystem::path& to) = 0;
  // Copies `from` to `to`, replacing a file at `to`, and flushes the copy to
  // disk before returning success. After a failure `to` may hold a partial
  // copy; `from` is untouched.
  virtual IoResult copy_file(const std::filesystem::path& from,
                             const std::filesystem::path& to) = 0;
  virtual IoResult remove_file(const std::filesystem::path& path) = 0;

  virtual std::chrono::system_clock::time_point now() = 0;
  virtual void sleep_for(std::chrono::milliseconds duration) = 0;
};

class RealEnv : public Env {
 public:
  IoResult list_directory(const std::filesystem::path& dir,
                          std::vector<DirectoryEntry>& entries) override;
  IoResult read_file(const std::filesystem::path& path, std::string& contents) override;
  IoResult rename_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
  IoResult copy_file(const std::filesystem::path& from, const std::filesystem::path& to) override;
  IoResult remove_file(const std::filesystem::path& path) override;
  std::chrono::system_clock::time_point now() override;
  void sleep_for(std::chrono::milliseconds duration) override;
};

}  // namespace qx::driver
