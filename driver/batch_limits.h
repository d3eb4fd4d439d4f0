// How many settled files a loader that commits whole files may load in one
// transaction when a backlog waits. A batch closes at whichever limit comes
// first; a file that arrives alone is committed at once, since a batch never
// waits for files that are not there yet.
#pragma once

#include <chrono>
#include <cstdint>

namespace qx::driver {

// Measured on backlogs of typical files: 128 and 256 files clear a backlog
// about 6 and 9 % faster than 64, but a batch of large files then holds more
// memory, and the first file of a backlog waits longer for its commit.
inline constexpr int kDefaultBatchFiles = 64;
inline constexpr std::uint64_t kDefaultBatchBytes = 4ull << 20;
inline constexpr std::chrono::milliseconds kDefaultBatchTime{1000};

struct BatchLimits {
  // Files per transaction; 1 commits every file on its own.
  int files = 1;
  // The bytes of the files read into one batch: a batch holds their rows
  // until its commit, about four times their bytes in all (the files, their
  // values, the statements sent), so this bounds what a backlog of large
  // files keeps.
  std::uint64_t bytes = kDefaultBatchBytes;
  // From the first file of a batch being read to the batch's commit: the
  // longest the first file waits for the others.
  std::chrono::milliseconds time = kDefaultBatchTime;
};

}  // namespace qx::driver
