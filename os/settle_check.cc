#include "os/settle_check.h"

#include <algorithm>
#include <set>
#include <utility>

namespace qx::os {

Settling SettleCheck::check(const DirectoryEntry& file, std::chrono::system_clock::time_point now) {
  if (settle_.count() == 0) return {};
  auto [it, fresh] = seen_.try_emplace(file.name, Seen{file.size, file.modified, now});
  Seen& seen = it->second;
  const bool changed = !fresh && (seen.size != file.size || seen.modified != file.modified);
  if (fresh || changed) {
    seen.size = file.size;
    seen.modified = file.modified;
    seen.unchanged_since = std::min(now, file.modified);
  }
  Settling settling;
  settling.settled = now - seen.unchanged_since >= settle_;
  if (settling.settled) {
    seen.held_told = false;
    return settling;
  }
  settling.held = changed                         ? HeldBack::changing
                  : file.modified - now > settle_ ? HeldBack::dated_ahead
                                                  : HeldBack::nothing_to_tell;
  settling.newly_held =
      settling.held != HeldBack::nothing_to_tell && !std::exchange(seen.held_told, true);
  return settling;
}

bool SettleCheck::has_settled(const DirectoryEntry& file,
                              std::chrono::system_clock::time_point now) const {
  if (settle_.count() == 0) return true;
  auto it = seen_.find(file.name);
  const bool unchanged =
      it != seen_.end() && it->second.size == file.size && it->second.modified == file.modified;
  const auto since = unchanged ? it->second.unchanged_since : std::min(now, file.modified);
  return now - since >= settle_;
}

void SettleCheck::forget_all_but(const std::vector<DirectoryEntry>& files) {
  if (seen_.empty()) return;
  std::set<std::string> present;
  for (const auto& file : files) present.insert(file.name);
  std::erase_if(seen_, [&](const auto& item) { return !present.contains(item.first); });
}

}  // namespace qx::os
