#include "driver/settle_check.h"

#include <algorithm>
#include <set>

namespace qx::driver {

bool SettleCheck::settled(const DirectoryEntry& file, std::chrono::system_clock::time_point now) {
  if (settle_.count() == 0) return true;
  auto [it, fresh] = seen_.try_emplace(file.name, Seen{file.size, file.modified, now});
  Seen& seen = it->second;
  if (fresh || seen.size != file.size || seen.modified != file.modified) {
    seen = {file.size, file.modified, std::min(now, file.modified)};
  }
  return now - seen.unchanged_since >= settle_;
}

void SettleCheck::forget_all_but(const std::vector<DirectoryEntry>& files) {
  if (seen_.empty()) return;
  std::set<std::string> present;
  for (const auto& file : files) present.insert(file.name);
  std::erase_if(seen_, [&](const auto& item) { return !present.contains(item.first); });
}

}  // namespace qx::driver
