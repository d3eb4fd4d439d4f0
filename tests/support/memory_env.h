// A file system held in memory, for tests that need a directory of files
// and no disk: directories, regular files with their bytes and modification
// times, symbolic links and the other kinds of entry a directory may hold,
// locks, renames, copies and removal, as the real Env does them on one file
// system. Its clocks stand still until the test moves them (a sleep moves
// them by its length), and relative paths are taken against
// `current_dir`. Stack a FaultyEnv over it for failures.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "os/env.h"

namespace qx::testing {

class MemoryEnv : public os::Env {
 public:
  MemoryEnv();

  std::chrono::system_clock::time_point clock{std::chrono::seconds(1'700'000'000)};
  std::chrono::steady_clock::time_point steady{std::chrono::hours(1)};
  std::filesystem::path current_dir = "/";

  // Setting up and looking, outside the counted calls. Each makes the
  // directories above the path that are missing.
  void add_file(const std::filesystem::path& path, std::string_view contents);
  void add_directory(const std::filesystem::path& path);
  void add_symlink(const std::filesystem::path& path, const std::filesystem::path& target);
  // A FIFO, a socket or a device: listed, never read.
  void add_entry(const std::filesystem::path& path, os::EntryType type);
  void set_modified(const std::filesystem::path& path, std::chrono::system_clock::time_point when);
  // Whether the name holds anything (a link is not followed).
  bool exists(const std::filesystem::path& path);
  // The bytes of the regular file the name holds (a link followed).
  std::optional<std::string> contents(const std::filesystem::path& path);

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
  os::IoResult make_directory(const std::filesystem::path& path) override;
  std::chrono::system_clock::time_point now() override { return clock; }
  std::chrono::steady_clock::time_point steady_now() override { return steady; }
  void sleep_for(std::chrono::milliseconds duration) override;
  std::filesystem::path current_directory() override { return current_dir; }

 private:
  struct Node {
    os::EntryType type = os::EntryType::regular;
    std::uint64_t inode = 0;
    std::string contents;          // a regular file's bytes
    std::filesystem::path target;  // a symbolic link's
    std::chrono::system_clock::time_point modified;
    std::map<std::string, std::shared_ptr<Node>> children;  // a directory's
    bool locked = false;
  };
  class Lock;

  // Where a path leads: the directory that holds its last name, that name,
  // and what the name holds (null when nothing).
  struct Place {
    std::shared_ptr<Node> parent;
    std::string name;
    std::shared_ptr<Node> node;
  };
  std::error_code find(const std::filesystem::path& path, bool follow_last, Place& place,
                       int depth = 0);
  std::shared_ptr<Node> make_node(os::EntryType type);
  void add(const std::filesystem::path& path, std::shared_ptr<Node> node);
  os::FileNode identity_of(const Node& node) const;
  os::IoResult rename(const std::filesystem::path& from, const std::filesystem::path& to,
                      bool replace);

  std::shared_ptr<Node> root_;
  std::uint64_t next_inode_ = 1;
};

}  // namespace qx::testing
