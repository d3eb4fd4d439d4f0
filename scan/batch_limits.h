// How much a loader may load in one transaction when a backlog waits: the
// settled files of a loader that commits whole files, the lines (of one
// file or of several) of the AIR loader, which commits lines in groups. A
// batch closes at whichever limit comes first; a file or line that arrives
// alone is committed at once, since a batch never waits for work that is
// not there yet.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace qx::scan {

// Measured on backlogs of typical files: 128 and 256 files clear a backlog
// about 6 and 9 % faster than 64, but a batch of large files then holds more
// memory, and the first file of a backlog waits longer for its commit.
inline constexpr int kDefaultBatchFiles = 64;
inline constexpr std::uint64_t kDefaultBatchBytes = 4ull << 20;
inline constexpr std::chrono::milliseconds kDefaultBatchTime{1000};
// Lines per commit of the AIR loader. Measured with the program on 1,000
// typical files (30 lines each, SQLite): groups of 100 lines took 1.5 to 2
// times as long as groups of 1,000; 5,000 were no faster within the noise
// (a batch of 64 such files holds about 1,900 lines), and a smaller group
// bounds what a stop waits for and what a failure makes the loader do again.
inline constexpr int kDefaultBatchLines = 1000;
// The fewest rows of one table in an AIR group that go by COPY where the
// database copies rows; a table with fewer goes by its array insert. The
// copies leave the pipeline and cost a round trip per table and one more,
// while an array insert rides in the group's pipeline with the other
// writes. Measured on PostgreSQL with groups of typical files (15 to 180
// rows per table): copying from 1 or 32 rows on was the fastest, 64 and
// 128 slower, array inserts alone slowest (over long backlogs copying from
// 32 on was about 3 % faster than arrays alone, within the noise); from 32
// on, a line that arrives alone (a row or two per table) keeps the array
// inserts and the fewest round trips.
inline constexpr std::size_t kDefaultCopyRowsFrom = 32;

// The defaults are the programs' own: a test or benchmark that wants one
// file or one line per commit says so.
struct BatchLimits {
  // Files per transaction; 1 commits every file on its own.
  int files = kDefaultBatchFiles;
  // The bytes of the files read into one batch: a batch holds their rows
  // until its commit, about four times their bytes in all (the files, their
  // values, the statements sent), so this bounds what a backlog of large
  // files keeps.
  std::uint64_t bytes = kDefaultBatchBytes;
  // From the first file (or line) of a batch being read to the batch's
  // commit: the longest the first file waits for the others.
  std::chrono::milliseconds time = kDefaultBatchTime;
  // Lines per transaction for a loader that commits lines (of one file or
  // of several files); 1 commits every line on its own.
  int lines = kDefaultBatchLines;
  // Rows of one table from which an AIR group copies them
  // (kDefaultCopyRowsFrom).
  std::size_t copy_rows_from = kDefaultCopyRowsFrom;
};

// One file, and one line, per commit: the loaders' behaviour before batches,
// which a test or the benchmark compares the batches against.
inline constexpr BatchLimits kOneAtATime{.files = 1, .lines = 1};

}  // namespace qx::scan
