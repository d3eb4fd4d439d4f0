#include "scan/faulted_files.h"

namespace qx::scan {

bool FaultedFiles::held_back(const os::DirectoryEntry& file, Clock::time_point now) const {
  auto it = failing_.find(key_of(file));
  return it != failing_.end() && now - it->second.last_tried < kReminderInterval;
}

std::chrono::seconds FaultedFiles::failed(const os::DirectoryEntry& file, Clock::time_point now) {
  Failing& failing = failing_.try_emplace(key_of(file), Failing{now, now}).first->second;
  failing.last_tried = now;
  return std::chrono::duration_cast<std::chrono::seconds>(now - failing.since);
}

void FaultedFiles::forget_all_but(const std::vector<os::DirectoryEntry>& files) {
  std::map<Key, Failing> kept;
  for (const os::DirectoryEntry& file : files) {
    if (auto it = failing_.find(key_of(file)); it != failing_.end()) kept.insert(*it);
  }
  failing_.swap(kept);
}

}  // namespace qx::scan
