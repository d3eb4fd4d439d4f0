// The MIR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include "driver/text_reading.h"
#include "loader_bench.h"
#include "meridon_full/meridon_files.h"
#include "meridon_full/mir_loader.h"
#include "meridon_full/mir_records.h"
#include "per_field_queries.h"
#include "per_statement_session.h"
#include "record_per_field.h"

namespace qx::bench {
namespace {

class PerFieldMirFiles : public driver::Loader {
 public:
  PerFieldMirFiles(db::Session& session, Backend backend, std::FILE* out)
      : session_(session, backend == Backend::postgresql),
        queries_(session, backend),
        per_field_(queries_, meridon_full::mir_record_types(), meridon_full::kTagLength),
        loader_(session_, false, out) {}

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void on_scan_without_files() override {}
  void handle_file(driver::FileJob& job) override {
    if (!job.read(contents_).ok()) return;
    driver::end_at_ctrl_z(contents_);
    queries_.null_fill(1);  // the line buffer, emptied at the start of a file
    loader_.begin_file(job.name());
    // The header is the first 342 characters; the body follows it.
    driver::TextModeLine header =
        driver::read_text_mode_line(contents_, meridon_full::kHeaderLength);
    std::size_t number = 0;
    per_field_.cut_line(header.line);
    loader_.parse_line(header.line, ++number);
    std::string_view body = std::string_view(contents_).substr(header.consumed);
    if (body.starts_with('\r')) body.remove_prefix(1);
    for (std::string_view line : driver::split_at_carriage_returns(body)) {
      per_field_.cut_line(line);
      loader_.parse_line(line, ++number);
    }
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

 private:
  PerStatementSession session_;
  PerFieldQueries queries_;
  RecordPerField per_field_;
  meridon_full::MirLoader loader_;
  std::string contents_;
};

}  // namespace

LoaderBench mir_bench() {
  return {
      "meridon_full",
      "qx_meridon_",
      "mir",
      "*.MIR",
      QX_MERIDON_PROGRAM,
      false,
      [](db::Session& session, const Directories& dirs, std::FILE* out) {
        meridon_full::MeridonFiles files(session, false, out);
        scan_once(files, "*.MIR", dirs, out);
      },
      [](db::Session& session, Backend backend, const Directories& dirs, std::FILE* out) {
        PerFieldMirFiles files(session, backend, out);
        scan_once(files, "*.MIR", dirs, out);
      },
      [](const std::vector<SampleFile>& files) { return static_cast<long long>(files.size()); },
  };
}

}  // namespace qx::bench
