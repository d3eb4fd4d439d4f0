// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qx::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, made as a directory.
  std::filesystem::path make_dir(std::string_view name) const;

 private:
  std::filesystem::path path_;
};

// Writes `contents` to `path` byte for byte, replacing the file.
void write_file(const std::filesystem::path& path, std::string_view contents);
// The whole file, byte for byte.
std::string read_file(const std::filesystem::path& path);

}  // namespace qx::testing
