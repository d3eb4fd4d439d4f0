#include "support/faulty_env.h"

namespace qx::testing {
namespace {

driver::IoResult fail(std::errc code) {
  return driver::IoResult::failure(std::make_error_code(code));
}

}  // namespace

driver::IoResult FaultyEnv::list_directory(const std::filesystem::path& dir,
                                           std::vector<driver::DirectoryEntry>& entries) {
  auto result = RealEnv::list_directory(dir, entries);
  for (auto& entry : entries) entry.modified += modified_shift;
  return result;
}

driver::IoResult FaultyEnv::read_file(const std::filesystem::path& path, std::string& contents) {
  if (fail_read_always) {
    contents.clear();
    return fail(std::errc::permission_denied);
  }
  return RealEnv::read_file(path, contents);
}

driver::IoResult FaultyEnv::rename_file(const std::filesystem::path& from,
                                        const std::filesystem::path& to) {
  ++renames;
  if (rename_crosses_devices) return fail(std::errc::cross_device_link);
  if (renames == fail_rename_at) return fail(std::errc::permission_denied);
  return RealEnv::rename_file(from, to);
}

driver::IoResult FaultyEnv::copy_file(const std::filesystem::path& from,
                                      const std::filesystem::path& to) {
  ++copies;
  if (fail_copy_always) return fail(std::errc::no_space_on_device);
  return RealEnv::copy_file(from, to);
}

driver::IoResult FaultyEnv::remove_file(const std::filesystem::path& path) {
  ++removes;
  if (removes == fail_remove_at) return fail(std::errc::permission_denied);
  return RealEnv::remove_file(path);
}

void FaultyEnv::sleep_for(std::chrono::milliseconds) {
  ++sleeps;
}

}  // namespace qx::testing
