// The real file system with failures on demand: the Nth rename, copy or
// remove can be made to fail (rename as if across file systems, or with a
// plain error), and files can be made to look freshly written.
#pragma once

#include <chrono>
#include <system_error>

#include "driver/env.h"

namespace qx::testing {

class FaultyEnv : public driver::RealEnv {
 public:
  // Calls counted from 1; 0 means never. `..._always` fails every call.
  int fail_rename_at = 0;
  bool rename_crosses_devices = false;  // every rename fails as across file systems
  bool fail_copy_always = false;
  int fail_remove_at = 0;
  bool fail_read_always = false;
  // Added to every modification time that list_directory reports.
  std::chrono::milliseconds modified_shift{0};

  int renames = 0, copies = 0, removes = 0, sleeps = 0;

  driver::IoResult list_directory(const std::filesystem::path& dir,
                                  std::vector<driver::DirectoryEntry>& entries) override;
  driver::IoResult read_file(const std::filesystem::path& path, std::string& contents) override;
  driver::IoResult rename_file(const std::filesystem::path& from,
                               const std::filesystem::path& to) override;
  driver::IoResult copy_file(const std::filesystem::path& from,
                             const std::filesystem::path& to) override;
  driver::IoResult remove_file(const std::filesystem::path& path) override;
  void sleep_for(std::chrono::milliseconds duration) override;
};

}  // namespace qx::testing
