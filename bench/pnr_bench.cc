// The PNR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include "driver/text_reading.h"
#include "loader_bench.h"
#include "per_field_queries.h"
#include "per_statement_session.h"
#include "record_per_field.h"
#include "tarvo/pnr_loader.h"
#include "tarvo/pnr_records.h"
#include "tarvo/tarvo_files.h"

namespace qx::bench {
namespace {

class PerFieldPnrFiles : public driver::Loader {
 public:
  PerFieldPnrFiles(db::Session& session, Backend backend, std::FILE* out)
      : session_(session, backend == Backend::postgresql),
        queries_(session, backend),
        per_field_(queries_, tarvo::pnr_record_types(), tarvo::kTagLength),
        loader_(session_, false, out) {}

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void on_scan_without_files() override {}
  void handle_file(driver::FileJob& job) override {
    if (!job.read(contents_).ok()) return;
    driver::end_at_ctrl_z(contents_);
    queries_.null_fill(1);  // the line buffer, emptied at the start of a file
    loader_.begin_file(job.name());
    std::size_t number = 0;
    for (std::string_view record : driver::split_at_carriage_returns(contents_)) {
      per_field_.cut_line(record);
      loader_.parse_line(record, ++number);
    }
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

 private:
  PerStatementSession session_;
  PerFieldQueries queries_;
  RecordPerField per_field_;
  tarvo::PnrLoader loader_;
  std::string contents_;
};

}  // namespace

LoaderBench pnr_bench() {
  return {
      "tarvo",
      "qx_tarvo_",
      "pnr",
      "*.PNR",
      QX_TARVO_PROGRAM,
      false,
      [](db::Session& session, const Directories& dirs, std::FILE* out) {
        tarvo::TarvoFiles files(session, false, out);
        scan_once(files, "*.PNR", dirs, out);
      },
      [](db::Session& session, Backend backend, const Directories& dirs, std::FILE* out) {
        PerFieldPnrFiles files(session, backend, out);
        scan_once(files, "*.PNR", dirs, out);
      },
      [](const std::vector<SampleFile>& files) { return static_cast<long long>(files.size()); },
  };
}

}  // namespace qx::bench
