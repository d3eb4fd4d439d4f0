// Loading the records of one MIR file: `begin_file` once per file, then
// `parse_line` once per line in file order (the header line first), then
// `load_file`. Each line whose first three characters are a known tag is
// filed as one row of its type's record table; at the end of the file every
// filed row is inserted under one key drawn from MERIDON_SEQUENCE, the
// header row is touched, and the file is committed as one transaction
// (records/record_load.h).
//
// Limits, each reported with one line naming the file and the line number:
// a line longer than 8191 characters is cut to 8191; a line of a type whose
// table is full is dropped; an A08 rest-of-line field longer than 999
// characters is cut to 999.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "driver/console.h"
#include "records/record_load.h"
#include "records/record_set.h"

namespace qx::meridon_full {

class MirLoader {
 public:
  // With `verbose_flag` set, load_file announces every row it inserts and
  // every type it clears. Deferred failures of `session` are printed on `out`.
  MirLoader(db::Session& session, bool verbose_flag, driver::Console console);

  // Starts a file named `file_name` (the name alone, as the directory holds
  // it): the name stored in the header row. The rows of the previous file
  // were cleared by its load_file.
  void begin_file(std::string_view file_name);

  // Files one line, given without its line end. `line_number` counts from
  // 1, the header line being line 1. The line's bytes must stay in place
  // until load_file returns: the filed slots view them. A line whose tag is
  // not one of the thirteen is passed over without a word.
  void parse_line(std::string_view line, std::size_t line_number);

  // Inserts the filed rows under a new key and commits them as one
  // transaction, then clears them. After any outcome but committed nothing
  // of the file is stored.
  records::LoadOutcome load_file(driver::HistoryEntry history = {});

  void report_sql_error(const db::Status& status) const { load_.report_sql_error(status); }

  const records::RecordSet& record_tables() const { return records_; }
  std::int64_t file_key() const { return load_.file_key(); }

 private:
  void print_about_line(std::size_t line_number, const std::string& what);

  driver::Console console_;
  bool verbose_flag_;
  records::RecordSet records_;
  records::RecordLoad load_;
  std::string mir_file_name_;
  std::vector<records::SlotCut> cuts_;
};

}  // namespace qx::meridon_full
