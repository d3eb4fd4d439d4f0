// Which files of a scan have settled: a file still being written is left
// for a later scan, because nothing keeps a reader out of it. A file has
// settled when its size and modification time have stayed as they are for
// the settle time. How long that is, is measured on this process's clock,
// from the moment the pair was last seen to change, and the modification
// time only shortens the wait when it lies in the past: a file stamped in
// the future (by another host's clock) is then loaded once it has kept
// still for the settle time, instead of being passed over until the clock
// catches up.
//
// A file held back by a time ahead of the clock, or by changing from one
// look to the next, is worth a line: the check says so the first time it
// holds the file back, not at every scan.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "os/env.h"

namespace qx::os {

// Why a file that has not settled is held back.
enum class HeldBack {
  nothing_to_tell,  // settled, or first seen a moment after it was written
  changing,         // its size or modification time changed since the last look
  dated_ahead,      // its modification time lies ahead of the clock by more than the settle time
};

struct Settling {
  bool settled = true;
  HeldBack held = HeldBack::nothing_to_tell;
  // The file is held back for a reason to tell, and was not held back (or
  // had settled) at the look before: tell it now.
  bool newly_held = false;
};

class SettleCheck {
 public:
  // A settle time of zero turns the check off: every file has settled.
  explicit SettleCheck(std::chrono::milliseconds settle) : settle_(settle) {}

  // Whether `file` has settled at `now`. A size and modification time not
  // seen for this name before count as unchanged since the earlier of `now`
  // and the modification time.
  bool settled(const DirectoryEntry& file, std::chrono::system_clock::time_point now) {
    return check(file, now).settled;
  }
  // The same look, with why a file that has not settled is held back.
  Settling check(const DirectoryEntry& file, std::chrono::system_clock::time_point now);
  // Whether check() would find `file` settled at `now`, remembering nothing.
  bool has_settled(const DirectoryEntry& file, std::chrono::system_clock::time_point now) const;
  // Forgets every name that is not among `files` (the files of a scan), so
  // that what is remembered never outgrows the input directory.
  void forget_all_but(const std::vector<DirectoryEntry>& files);

 private:
  struct Seen {
    std::uintmax_t size;
    std::chrono::system_clock::time_point modified;
    std::chrono::system_clock::time_point unchanged_since;
    bool held_told = false;
  };
  std::chrono::milliseconds settle_;
  std::map<std::string, Seen> seen_;
};

}  // namespace qx::os
