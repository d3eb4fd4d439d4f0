// The per-field design's scan-loop loader for the fixed-record loaders
// (PNR, MIR): it reads the file and cuts it into records as the loaders do
// (records/file_records.h), asks each record's per-field queries
// (record_per_field.h) before the loader files the record, lets the loader
// load the file, then asks one null fill per filed row, commits and moves
// the file.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "per_field_queries.h"
#include "per_statement_session.h"
#include "record_loader/record_load.h"
#include "record_per_field.h"
#include "records/file_records.h"
#include "scan/scan_loop.h"

namespace qx::bench {

// `RecordLoader` is the loader's own filing and load (PnrLoader,
// MirLoader), built from (session, verbose flag, output).
template <class RecordLoader>
class PerFieldRecordFileHandler : public scan::FileHandler {
 public:
  PerFieldRecordFileHandler(db::Session& session, Backend backend, std::FILE* out)
      : session_(session, backend == Backend::postgresql),
        queries_(session, backend),
        loader_(session_, false, out),
        per_field_(queries_, loader_.format()) {}

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void on_scan_without_files() override {}
  void handle_file(scan::FileJob& job) override {
    if (!job.read(text_.bytes()).ok()) return;
    text_.cut(loader_.format().take_header);
    queries_.null_fill(1);  // the line buffer, emptied at the start of a file
    loader_.begin_file(job.name());
    std::size_t line_number = 0;
    for (std::string_view record : text_.records()) {
      per_field_.cut_line(record);
      loader_.parse_line(record, ++line_number);
    }
    // The rows are cleared by the load; their null fills follow it.
    std::vector<std::size_t> filed;
    for (const auto& table : loader_.record_tables().tables())
      filed.push_back(table.record_count());
    if (loader_.load_file() != record_loader::LoadOutcome::committed) return;
    std::size_t type = 0;
    for (const auto& table : loader_.record_tables().tables()) {
      for (std::size_t row = 0; row < filed[type]; ++row) {
        queries_.null_fill(table.type().inserted_columns());
      }
      ++type;
    }
    if (auto committed = session_.commit(); committed.failed()) {
      throw std::runtime_error("commit failed: " + committed.message);
    }
    job.move_to_backup();
  }

 private:
  PerStatementSession session_;
  PerFieldQueries queries_;
  RecordLoader loader_;
  RecordPerField per_field_;
  // The file in hand; the filed rows view it until the load is done.
  records::FileRecords text_;
};

}  // namespace qx::bench
