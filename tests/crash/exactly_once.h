// What "every file exactly once" means after a loader was killed, its
// database stopped, or its move cut short, and how the crash tests check it
// against one clean load of the same files:
//   - files: every file is in the backup directory, byte for byte as it was
//     dropped; nothing is left in the input directory, and no temporary of
//     a move is left in the backup directory;
//   - rows: each table the loader writes holds the same multiset of rows as
//     a clean load of the same files into an empty database, the keys drawn
//     from sequences and the insert times left out (they differ from load to
//     load) and every other column, serials included, kept;
//   - load history: one row per file, marked loaded.
// Every difference is counted (a surplus row is a duplicate, a missing row or
// file a loss) and described, so that a failure says what went wrong.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/table_reader.h"

namespace qx::crash {

struct Tally {
  int files = 0;                    // files dropped
  long duplicates = 0;              // surplus rows, history rows or files
  long losses = 0;                  // missing rows, history rows or files, or files changed
  std::vector<std::string> faults;  // what differed, one line each (the first few)

  // Records one difference.
  void fault(long duplicated, long lost, std::string what);
  bool clean() const { return faults.empty(); }
  // "files 35, duplicates 0, losses 0"
  std::string summary() const;
  // The summary and the faults, one per line.
  std::string report() const;
};

// Compares the backup directory with the pristine copies of the dropped
// files, and checks the input directory is empty of them.
void check_files(const std::filesystem::path& pristine, const std::filesystem::path& input,
                 const std::filesystem::path& backup, Tally& tally);

// The rows of each record table of a program, as multisets (row -> how
// often), the columns that differ between loads left out.
using RowSnapshot = std::map<std::string, std::map<testing::Row, long>>;

// Reads every record table of `program` ("corvane", "tarvo",
// "meridon_full") from `reader`, over one connection.
RowSnapshot snapshot_rows(const testing::TableReader& reader, std::string_view program);

// Compares each table of `loaded` with the same table of `clean`.
void check_rows(const RowSnapshot& loaded, const RowSnapshot& clean, Tally& tally);

// Checks that the load history of `loaded` holds one row per name in
// `names`, marked loaded, and no other row.
void check_history(const testing::TableReader& loaded, const std::vector<std::string>& names,
                   Tally& tally);

// The names of the regular files in `dir`, sorted.
std::vector<std::string> file_names(const std::filesystem::path& dir);

// Copies every file of `from` into `to` (which exists).
void copy_files(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace qx::crash
