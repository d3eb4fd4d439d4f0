// Failures on demand over any Env (the real file system unless another is
// given): any one call, counted across every kind of file-system call, can
// be made to fail once or from then on; renames between directories can be
// made to fail as across file systems; files can be made to look freshly
// written, and the clock can be set by the test (growing_files_env.h).
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <system_error>

#include "os/env.h"
#include "support/death_point.h"
#include "support/growing_files_env.h"

namespace qx::testing {

class FaultyEnv : public GrowingFilesEnv {
 public:
  // Over the real file system, or over `target`.
  FaultyEnv();
  explicit FaultyEnv(os::Env& target) : GrowingFilesEnv(target) {}

  // Every file-system call (list, read, identify, lock, write, rename, copy,
  // sync, remove) counts in `calls`, from 1. The call numbered
  // `fail_call_at` fails with an input/output error (0: none does); with
  // `fail_for_ever`, every call after it fails too.
  int fail_call_at = 0;
  bool fail_for_ever = false;
  int calls = 0;

  // Calls of one kind, counted from 1; 0 means never. `..._always` fails
  // every call.
  int fail_rename_at = 0;
  // A rename from one directory to another fails as across file systems.
  bool rename_crosses_devices = false;
  // Every copy and every write fails as on a full disk.
  bool fail_copy_always = false;
  int fail_remove_at = 0;
  bool fail_read_always = false;
  int renames = 0, copies = 0, removes = 0, sleeps = 0;

  // Runs just before the call numbered `act_at` (counted with `calls`): a
  // test puts another file under a name there, as a drop in the middle of
  // a move would.
  int act_at = 0;
  std::function<void()> act;

  // When set, every file-system call counts on it first, and the process
  // ends at its chosen call (death_point.h).
  DeathPoint* death = nullptr;

  os::IoResult list_directory(const std::filesystem::path& dir,
                              std::vector<os::DirectoryEntry>& entries) override;
  os::IoResult read_file(const std::filesystem::path& path, std::string& contents,
                         os::FileNode& identity) override;
  os::IoResult stat_file(const std::filesystem::path& path, os::FileNode& identity) override;
  os::IoResult stat_entry(const std::filesystem::path& path, os::FileNode& identity) override;
  os::IoResult lock_file(const std::filesystem::path& path,
                         std::unique_ptr<os::FileLock>& lock) override;
  os::IoResult write_file(const std::filesystem::path& path, std::string_view contents) override;
  os::IoResult rename_file(const std::filesystem::path& from,
                           const std::filesystem::path& to) override;
  os::IoResult rename_no_replace(const std::filesystem::path& from,
                                 const std::filesystem::path& to) override;
  os::IoResult copy_file(const std::filesystem::path& from,
                         const std::filesystem::path& to) override;
  os::IoResult sync_file(const std::filesystem::path& path) override;
  os::IoResult remove_file(const std::filesystem::path& path) override;
  // Counts the sleep and returns at once.
  void sleep_for(std::chrono::milliseconds duration) override;

 private:
  // Counts one call; true when it is to fail.
  bool call_fails();
  // Counts one rename and says how it fails, if it does.
  std::optional<os::IoResult> rename_fault(const std::filesystem::path& from,
                                           const std::filesystem::path& to);
};

}  // namespace qx::testing
