// Loading the records of one PNR file: `begin_file` once per file, then
// `parse_line` once per record in file order, then `load_file`. Each
// recognised record is filed as one row of its type's record table; at the
// end of the file every filed row is inserted under one key drawn from
// TARVO_SEQUENCE, the header is marked as loaded, and the file is committed
// as one transaction (records/record_load.h).
//
// State that lives for the whole process: `last_tag`, the type of the last
// filed line, which tells whether a continuation line follows an M2 line;
// it carries over from one file to the next. Everything else belongs to the
// file in hand.
//
// Limits, each reported with one line naming the file and the line number:
// a line longer than 8191 characters is cut to 8191; a line of a type whose
// table is full is dropped (and `last_tag` cleared, so no continuation line
// attaches to an earlier M2 row); a continuation line with no M2 row in the
// current file is ignored.
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

namespace qx::tarvo {

class PnrLoader {
 public:
  // With `verbose_flag` set, load_file announces every row it inserts and
  // every type it clears. Deferred failures of `session` are printed on `out`.
  PnrLoader(db::Session& session, bool verbose_flag, driver::Console console);

  // Starts a file named `file_name` (the name alone, as the directory holds
  // it). The rows of the previous file were cleared by its load_file.
  void begin_file(std::string_view file_name);

  // Files one record, given without its record end. `line_number` counts
  // from 1. The record's bytes must stay in place until load_file returns:
  // the filed slots view them.
  void parse_line(std::string_view line, std::size_t line_number);

  // Inserts the filed rows under a new key and commits them as one
  // transaction, then clears them. After any outcome but committed nothing
  // of the file is stored.
  records::LoadOutcome load_file(driver::HistoryEntry history = {});

  void report_sql_error(const db::Status& status) const { load_.report_sql_error(status); }

  const records::RecordSet& record_tables() const { return records_; }
  std::string_view last_tag() const { return last_tag_; }
  std::int64_t file_key() const { return load_.file_key(); }

 private:
  void file_line(records::RecordTable& table, std::string_view line, std::size_t line_number);
  void continue_m2(std::string_view line, std::size_t line_number);
  void print_about_line(std::size_t line_number, const std::string& what);

  driver::Console console_;
  bool verbose_flag_;
  records::RecordSet records_;
  records::RecordLoad load_;
  records::RecordTable& m2_;
  std::string pnr_file_name_;
  std::string_view last_tag_;
  std::vector<records::SlotCut> cuts_;
};

}  // namespace qx::tarvo
