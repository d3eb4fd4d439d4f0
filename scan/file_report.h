// What became of one file in a scan, for the operator's summary line, the
// event log and the metrics: the loop fills in the name, the outcome and the
// time taken; the file handler adds what only it knows (the key, the lines
// read, the rows stored per table and the lines of rejected rows).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qx::scan {

// A file with many rejected rows names only its first ones.
inline constexpr std::size_t kRejectedLinesKept = 20;

struct TableRows {
  std::string table;
  std::int64_t rows = 0;
};

// The rows one load of a file stored, as its loader counted them.
struct RowTally {
  // Rows the database took when they were sent, per table in the order the
  // tables were first written. A row refused later (a backend that sends
  // rows ahead) counts in the file's totals only.
  std::vector<TableRows> tables;
  // Lines of rejected rows, in the order they were rejected; at most
  // kRejectedLinesKept.
  std::vector<std::int64_t> rejected_lines;

  void stored(std::string_view table, std::int64_t rows = 1);
  // Notes the line of a rejected row; 0 (unknown) and lines beyond the
  // first kRejectedLinesKept are not kept.
  void rejected(std::int64_t line);
  void clear() {
    tables.clear();
    rejected_lines.clear();
  }
};

struct FileReport {
  enum class Outcome {
    loaded,         // stored now (and moved, unless `why` says it was not)
    moved_earlier,  // the load history held it as loaded: only moved
    waiting,        // still in the input directory; `why` says why
    failed,         // set aside into the failed directory; `why` says why
  };
  // Why a file was set aside, as a small fixed set that counters can be
  // labelled with; the free text is in `why`.
  enum class SetAside {
    too_large,        // larger than the size limit: never read
    no_known_record,  // holds no record the loader knows
    unparsable,       // its text cannot be taken apart into records
    unreadable,       // could not be read at any of its attempts
    refused,          // the database refused its own data at every attempt
    unexpected,       // its handling failed in a way the loader did not foresee
  };
  static constexpr int kSetAsideKinds = 6;
  std::string name;
  Outcome outcome = Outcome::waiting;
  // Why a file waits, or why a loaded file is not in the backup directory;
  // empty otherwise.
  std::string why;
  // For a failed file only.
  SetAside set_aside = SetAside::unexpected;
  bool moved = false;
  // Set by the handler when its load committed, whatever became of the move.
  bool committed = false;
  // Set by the handler when the database refused work that is not the
  // file's fault (a missing table or privilege, a full or read-only
  // database, no key) while the connection stayed up: every other file
  // would meet the same refusal, so the rest of the scan waits.
  bool database_refused = false;
  std::int64_t key = 0;  // the file key (PNR, MIR) or last booking key (AIR); 0 for none
  std::int64_t lines_read = 0;
  // Totals of the file's whole load (an AIR file resumed counts its earlier
  // lines too).
  std::int64_t rows_stored = 0;
  std::int64_t rows_rejected = 0;
  RowTally tally;
  std::chrono::milliseconds duration{0};
};

// "loaded", "moved earlier", "waiting", "failed".
std::string_view outcome_name(FileReport::Outcome outcome);
// "too_large", "no_known_record", "unparsable", "unreadable", "refused",
// "unexpected".
std::string_view set_aside_name(FileReport::SetAside reason);

}  // namespace qx::scan
