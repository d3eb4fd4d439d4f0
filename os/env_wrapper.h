// An Env that hands every call to another Env. A fake derives from it and
// overrides only the calls it fakes; since the Env it wraps may itself be a
// fake, fakes stack (failures on demand over an in-memory file system, say).
#pragma once

#include "os/env.h"

namespace qx::os {

class EnvWrapper : public Env {
 public:
  explicit EnvWrapper(Env& target) : target_(target) {}

  IoResult list_directory(const std::filesystem::path& dir,
                          std::vector<DirectoryEntry>& entries) override {
    return target_.list_directory(dir, entries);
  }
  IoResult read_file(const std::filesystem::path& path, std::string& contents,
                     FileNode& identity) override {
    return target_.read_file(path, contents, identity);
  }
  IoResult stat_file(const std::filesystem::path& path, FileNode& identity) override {
    return target_.stat_file(path, identity);
  }
  IoResult stat_entry(const std::filesystem::path& path, FileNode& identity) override {
    return target_.stat_entry(path, identity);
  }
  IoResult lock_file(const std::filesystem::path& path, std::unique_ptr<FileLock>& lock) override {
    return target_.lock_file(path, lock);
  }
  IoResult write_file(const std::filesystem::path& path, std::string_view contents) override {
    return target_.write_file(path, contents);
  }
  IoResult rename_file(const std::filesystem::path& from,
                       const std::filesystem::path& to) override {
    return target_.rename_file(from, to);
  }
  IoResult rename_no_replace(const std::filesystem::path& from,
                             const std::filesystem::path& to) override {
    return target_.rename_no_replace(from, to);
  }
  IoResult copy_file(const std::filesystem::path& from, const std::filesystem::path& to) override {
    return target_.copy_file(from, to);
  }
  IoResult sync_file(const std::filesystem::path& path) override { return target_.sync_file(path); }
  IoResult remove_file(const std::filesystem::path& path) override {
    return target_.remove_file(path);
  }
  IoResult make_directory(const std::filesystem::path& path) override {
    return target_.make_directory(path);
  }
  std::chrono::system_clock::time_point now() override { return target_.now(); }
  std::chrono::steady_clock::time_point steady_now() override { return target_.steady_now(); }
  void sleep_for(std::chrono::milliseconds duration) override { target_.sleep_for(duration); }
  std::filesystem::path current_directory() override { return target_.current_directory(); }

 private:
  Env& target_;
};

}  // namespace qx::os
