// Loading the records of one fixed-record file: `begin_file` once per file,
// then `parse_line` once per record in file order (a header record first),
// then `load_file`. Each record whose first characters are a known tag is
// filed as one row of its type's record table; at the end of the file every
// filed row is inserted under one key drawn from the format's sequence, the
// header statement runs, and the file is committed as one transaction
// (record_loader/record_load.h).
//
// Limits, each reported with one "File NAME line N: ..." line: a record
// longer than kLineLimit characters is cut to it; a record of a type whose
// table is full is dropped; a rest-of-line field longer than its limit is
// cut to it. A record of no known type is passed over without a word.
//
// A format with a rule of its own for some records (the PNR continuation
// lines) derives from this class and overrides the two hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "os/console.h"
#include "record_loader/batch_writer.h"
#include "record_loader/record_load.h"
#include "records/record_format.h"
#include "records/record_set.h"

namespace qx::record_loader {

class FixedRecordLoader {
 public:
  // With `verbose_flag` set, load_file announces every row it inserts and
  // every type it clears. Deferred failures of `session` are printed on
  // `console`. `format` must outlive the loader.
  FixedRecordLoader(db::Session& session, const records::RecordFormat& format, bool verbose_flag,
                    os::Console console);
  virtual ~FixedRecordLoader() = default;
  FixedRecordLoader(const FixedRecordLoader&) = delete;
  FixedRecordLoader& operator=(const FixedRecordLoader&) = delete;

  // Starts a file named `file_name` (the name alone, as the directory holds
  // it): the name stored in the header row. The rows of the previous file
  // were cleared by its load_file.
  void begin_file(std::string_view file_name);

  // Files one record, given without its record end. `line_number` counts
  // from 1. The record's bytes must stay in place until load_file returns:
  // the filed slots view them.
  void parse_line(std::string_view line, std::size_t line_number);

  // Inserts the filed rows under a new key and commits them as one
  // transaction, with the file's history row when the loop keeps one, then
  // clears them. After any outcome but committed nothing of the file is
  // stored.
  LoadOutcome load_file(history::HistoryEntry history = {});
  // Writes the filed rows into the open transaction of a batch and clears
  // them (BatchWriter::write_file); false when any write failed.
  bool write_file(history::HistoryEntry history, FileAccount& account, std::int64_t key = 0);

  // Converts the filed rows under `key` for a later batch and clears them
  // (BatchWriter::prepare_file), without touching the database.
  void prepare_file(std::int64_t key, FileAccount& account, BatchWriter::PreparedRows& rows) {
    batch_.prepare_file(file_name_, verbose_flag_, key, account, rows);
  }
  void report_sql_error(const db::Status& status) const { load_.report_sql_error(status); }

  const records::RecordFormat& format() const { return format_; }
  const records::RecordSet& record_tables() const { return records_; }
  std::int64_t file_key() const { return load_.file_key(); }
  // The account and rows of the file loaded last.
  const RecordLoad& load() const { return load_; }
  RecordLoad& load() { return load_; }
  // The writer of the batches the file handler loads together.
  BatchWriter& batch() { return batch_; }
  // How many records of the file begun last had a known type (filed,
  // dropped or taken by the format's own rule).
  std::size_t known_records() const { return known_records_; }

 protected:
  // Offered every record (already cut to the limit) before it is filed by
  // its tag; returns true when the format took the record itself.
  virtual bool take_line(std::string_view /*tag*/, std::string_view /*line*/,
                         std::size_t /*line_number*/) {
    return false;
  }
  // Told after a record of a known type was filed into `table`, or dropped
  // (nullptr) because its table was full.
  virtual void after_filing(const records::RecordTable* /*table*/) {}

  // Prints "File NAME line N: WHAT" about the file in hand.
  void about_line(std::size_t line_number, os::Notice kind, const std::string& what) const;
  records::RecordSet& records() { return records_; }

 private:
  const records::RecordFormat& format_;
  os::Console console_;
  bool verbose_flag_;
  records::RecordSet records_;
  RecordLoad load_;
  BatchWriter batch_;
  std::string file_name_;
  std::vector<records::SlotCut> cuts_;
  std::size_t known_records_ = 0;
};

}  // namespace qx::record_loader
