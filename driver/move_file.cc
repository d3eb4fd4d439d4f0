#include "driver/move_file.h"

namespace qx::driver {

std::optional<std::string> move_file(Env& env, const std::filesystem::path& from,
                                     const std::filesystem::path& to) {
  IoResult renamed = env.rename_file(from, to);
  if (renamed.ok()) return std::nullopt;
  if (renamed.error() != std::errc::cross_device_link) {
    return "rename failed: " + renamed.reason();
  }
  IoResult copied = env.copy_file(from, to);
  if (!copied.ok()) return "copy failed: " + copied.reason();
  IoResult removed = env.remove_file(from);
  if (!removed.ok()) return "copied, but the input file could not be removed: " + removed.reason();
  return std::nullopt;
}

}  // namespace qx::driver
