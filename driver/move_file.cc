#include "driver/move_file.h"

namespace qx::driver {

IoResult move_file(Env& env, const std::filesystem::path& from, const std::filesystem::path& to) {
  IoResult renamed = env.rename_file(from, to);
  if (renamed.ok()) return renamed;
  if (renamed.error() != std::errc::cross_device_link) {
    return IoResult::failure(renamed.error(), "rename failed");
  }
  IoResult copied = env.copy_file(from, to);
  if (!copied.ok()) return IoResult::failure(copied.error(), "copy failed");
  IoResult removed = env.remove_file(from);
  if (!removed.ok()) {
    return IoResult::failure(removed.error(), "copied, but the input file could not be removed");
  }
  return IoResult::success();
}

}  // namespace qx::driver
