// The per-field design's scan-loop loader for the loaders that read a whole
// file before they write it (PNR, MIR): it reads the file, asks each line's
// per-field queries (record_per_field.h) before the loader files the line,
// lets the loader load the file, then asks one null fill per filed row,
// commits and moves the file. A format says only how its file is cut into
// lines.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/scan_loop.h"
#include "driver/text_reading.h"
#include "per_field_queries.h"
#include "per_statement_session.h"
#include "record_per_field.h"
#include "records/record_load.h"
#include "records/record_type.h"

namespace qx::bench {

// `RecordLoader` is the loader's own filing and load (PnrLoader,
// MirLoader), built from (session, verbose flag, output).
template <class RecordLoader>
class PerFieldRecordFiles : public driver::FileHandler {
 public:
  PerFieldRecordFiles(db::Session& session, Backend backend,
                      std::span<const records::RecordType> types, std::size_t tag_length,
                      std::FILE* out)
      : session_(session, backend == Backend::postgresql),
        queries_(session, backend),
        per_field_(queries_, types, tag_length),
        loader_(session_, false, out) {}

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void on_scan_without_files() override {}
  void handle_file(driver::FileJob& job) override {
    if (!job.read(contents_).ok()) return;
    driver::end_at_ctrl_z(contents_);
    queries_.null_fill(1);  // the line buffer, emptied at the start of a file
    loader_.begin_file(job.name());
    line_number_ = 0;
    file_lines(contents_);
    // The rows are cleared by the load; their null fills follow it.
    std::vector<std::size_t> filed;
    for (const auto& table : loader_.record_tables().tables())
      filed.push_back(table.record_count());
    if (loader_.load_file() != records::LoadOutcome::committed) return;
    std::size_t type = 0;
    for (const auto& table : loader_.record_tables().tables()) {
      for (std::size_t row = 0; row < filed[type]; ++row) {
        queries_.null_fill(table.type().inserted_columns());
      }
      ++type;
    }
    session_.commit();
    job.move_to_backup();
  }

 protected:
  // Passes every line of `contents` to file_line, in file order. What a
  // line views must last until the file's load is done.
  virtual void file_lines(std::string_view contents) = 0;

  // The line's per-field queries, then its filing as the next line.
  void file_line(std::string_view line) {
    per_field_.cut_line(line);
    loader_.parse_line(line, ++line_number_);
  }

 private:
  PerStatementSession session_;
  PerFieldQueries queries_;
  RecordPerField per_field_;
  RecordLoader loader_;
  std::string contents_;
  std::size_t line_number_ = 0;
};

}  // namespace qx::bench
