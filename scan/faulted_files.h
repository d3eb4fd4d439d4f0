// Files whose handling ended in an unexpected failure (an exception the
// loader did not foresee), kept while they stay in the input directory
// unchanged. Such a file would fail the same way at every scan, so it is
// not handed to the loader again at once: it waits, and is tried again
// once a reminder interval has passed since it was last told. A file
// dropped again (another size or modification time) is tried at once.
// Kept in this process's memory only: a restart tries every file afresh.
#pragma once

#include <chrono>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "os/env.h"
#include "scan/ongoing_failure.h"

namespace qx::scan {

class FaultedFiles {
 public:
  using Clock = std::chrono::system_clock;

  // Whether `file` failed earlier and is not due to be tried again at
  // `now`.
  bool held_back(const os::DirectoryEntry& file, Clock::time_point now) const;
  // Notes that handling `file` failed at `now`. Returns how long it has
  // failed for: 0 the first time.
  std::chrono::seconds failed(const os::DirectoryEntry& file, Clock::time_point now);
  // `file` was handled without an unexpected failure: it is forgotten.
  void handled(const os::DirectoryEntry& file) { failing_.erase(key_of(file)); }
  // Forgets every file that is not among `files` (the files of a scan).
  void forget_all_but(const std::vector<os::DirectoryEntry>& files);

 private:
  using Key = std::tuple<std::string, std::uintmax_t, Clock::time_point>;
  static Key key_of(const os::DirectoryEntry& file) {
    return {file.name, file.size, file.modified};
  }

  struct Failing {
    Clock::time_point since;
    Clock::time_point last_tried;
  };
  std::map<Key, Failing> failing_;
};

}  // namespace qx::scan
