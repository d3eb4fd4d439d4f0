// The AIR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant of it, which asks the database for every
// separator, field and tag of a line before the loader inserts the line's
// row.
#include <algorithm>
#include <memory>
#include <stdexcept>

#include "corvane/corvane_file_handler.h"
#include "loader_bench.h"
#include "os/text_reading.h"
#include "per_field_queries.h"
#include "per_statement_session.h"

namespace qx::bench {
namespace {

class PerFieldAirFiles : public scan::FileHandler {
 public:
  PerFieldAirFiles(db::Session& session, Backend backend, std::FILE* out)
      : session_(session, backend == Backend::postgresql),
        queries_(session, backend),
        loader_(session_, corvane::AirBuild::base, out) {}

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void on_scan_without_files() override {}
  void handle_file(scan::FileJob& job) override {
    if (!job.read(contents_).ok()) return;
    os::end_at_ctrl_z(contents_);
    os::fold_crlf(contents_);
    loader_.begin_file(job.name());
    std::size_t number = 0;
    for (std::string_view line : os::split_at_line_feeds(contents_)) {
      queries_.split_air_line(line);
      loader_.process_line(line, ++number);
      if (auto committed = session_.commit(); committed.failed()) {
        throw std::runtime_error("commit failed: " + committed.message);
      }
    }
    job.move_to_backup();
  }

 private:
  PerStatementSession session_;
  PerFieldQueries queries_;
  corvane::AirLoader loader_;
  std::string contents_;
};

long long line_count(const std::vector<SampleFile>& files) {
  long long lines = 0;
  for (const auto& file : files) {
    std::string text = file.contents;
    os::end_at_ctrl_z(text);
    os::fold_crlf(text);
    lines += static_cast<long long>(os::split_at_line_feeds(text).size());
  }
  return lines;
}

}  // namespace

LoaderBench air_bench() {
  return {
      "corvane",
      "qx_air_",
      "air",
      "*.air",
      QX_CORVANE_PROGRAM,
      true,
      [](db::Session& session, std::FILE* out, scan::BatchLimits batch) {
        return std::make_unique<corvane::CorvaneFileHandler>(session, corvane::AirBuild::base, out,
                                                             batch);
      },
      [](db::Session& session, Backend backend, std::FILE* out) {
        return std::make_unique<PerFieldAirFiles>(session, backend, out);
      },
      line_count,
  };
}

}  // namespace qx::bench
