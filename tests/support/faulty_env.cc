#include "support/faulty_env.h"

namespace qx::testing {
namespace {

os::IoResult fail(std::errc code) {
  return os::IoResult::failure(std::make_error_code(code));
}

// Stateless, so that every FaultyEnv over the real file system may share it.
os::Env& real_env() {
  static os::RealEnv env;
  return env;
}

}  // namespace

FaultyEnv::FaultyEnv() : GrowingFilesEnv(real_env()) {}

bool FaultyEnv::call_fails() {
  if (death != nullptr) death->count();
  ++calls;
  if (calls == act_at && act) act();
  if (fail_call_at == 0) return false;
  return calls == fail_call_at || (fail_for_ever && calls > fail_call_at);
}

os::IoResult FaultyEnv::list_directory(const std::filesystem::path& dir,
                                       std::vector<os::DirectoryEntry>& entries) {
  if (call_fails()) {
    entries.clear();
    return fail(std::errc::io_error);
  }
  return GrowingFilesEnv::list_directory(dir, entries);
}

os::IoResult FaultyEnv::read_file(const std::filesystem::path& path, std::string& contents,
                                  os::FileNode& identity) {
  if (call_fails() || fail_read_always) {
    contents.clear();
    return fail(fail_read_always ? std::errc::permission_denied : std::errc::io_error);
  }
  return GrowingFilesEnv::read_file(path, contents, identity);
}

os::IoResult FaultyEnv::stat_file(const std::filesystem::path& path, os::FileNode& identity) {
  if (call_fails()) return fail(std::errc::io_error);
  return GrowingFilesEnv::stat_file(path, identity);
}

os::IoResult FaultyEnv::stat_entry(const std::filesystem::path& path, os::FileNode& identity) {
  if (call_fails()) return fail(std::errc::io_error);
  return GrowingFilesEnv::stat_entry(path, identity);
}

os::IoResult FaultyEnv::lock_file(const std::filesystem::path& path,
                                  std::unique_ptr<os::FileLock>& lock) {
  if (call_fails()) return fail(std::errc::io_error);
  return GrowingFilesEnv::lock_file(path, lock);
}

os::IoResult FaultyEnv::write_file(const std::filesystem::path& path, std::string_view contents) {
  if (call_fails() || fail_copy_always) {
    // A full disk: part of the bytes got there.
    // The partial bytes are the fault's effect; the failure returned is the fault.
    static_cast<void>(GrowingFilesEnv::write_file(path, contents.substr(0, contents.size() / 2)));
    return fail(std::errc::no_space_on_device);
  }
  return GrowingFilesEnv::write_file(path, contents);
}

std::optional<os::IoResult> FaultyEnv::rename_fault(const std::filesystem::path& from,
                                                    const std::filesystem::path& to) {
  ++renames;
  if (call_fails()) return fail(std::errc::io_error);
  if (rename_crosses_devices && from.parent_path() != to.parent_path()) {
    return fail(std::errc::cross_device_link);
  }
  if (renames == fail_rename_at) return fail(std::errc::permission_denied);
  return std::nullopt;
}

os::IoResult FaultyEnv::rename_file(const std::filesystem::path& from,
                                    const std::filesystem::path& to) {
  if (auto fault = rename_fault(from, to)) return *fault;
  return GrowingFilesEnv::rename_file(from, to);
}

os::IoResult FaultyEnv::rename_no_replace(const std::filesystem::path& from,
                                          const std::filesystem::path& to) {
  if (auto fault = rename_fault(from, to)) return *fault;
  return GrowingFilesEnv::rename_no_replace(from, to);
}

os::IoResult FaultyEnv::copy_file(const std::filesystem::path& from,
                                  const std::filesystem::path& to) {
  ++copies;
  if (call_fails() || fail_copy_always) {
    // A full disk: the copy got part of the way.
    // The partial bytes are the fault's effect; the failure returned is the fault.
    static_cast<void>(GrowingFilesEnv::write_file(to, "partial"));
    return fail(std::errc::no_space_on_device);
  }
  return GrowingFilesEnv::copy_file(from, to);
}

os::IoResult FaultyEnv::sync_file(const std::filesystem::path& path) {
  if (call_fails()) return fail(std::errc::io_error);
  return GrowingFilesEnv::sync_file(path);
}

os::IoResult FaultyEnv::remove_file(const std::filesystem::path& path) {
  ++removes;
  if (call_fails()) return fail(std::errc::io_error);
  if (removes == fail_remove_at) return fail(std::errc::permission_denied);
  return GrowingFilesEnv::remove_file(path);
}

void FaultyEnv::sleep_for(std::chrono::milliseconds) {
  ++sleeps;
}

}  // namespace qx::testing
