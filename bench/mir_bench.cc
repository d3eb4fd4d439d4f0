// The MIR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include <string>
#include <utility>

#include "driver/text_reading.h"
#include "loader_bench.h"
#include "meridon_full/meridon_files.h"
#include "meridon_full/mir_loader.h"
#include "meridon_full/mir_records.h"
#include "per_field_record_files.h"

namespace qx::bench {
namespace {

class PerFieldMirFiles : public PerFieldRecordFiles<meridon_full::MirLoader> {
 public:
  PerFieldMirFiles(db::Session& session, Backend backend, std::FILE* out)
      : PerFieldRecordFiles(session, backend, meridon_full::mir_record_types(),
                            meridon_full::kTagLength, out) {}

 private:
  void file_lines(std::string_view contents) override {
    // The header is the first 342 characters; the body follows it.
    driver::TextModeLine header =
        driver::read_text_mode_line(contents, meridon_full::kHeaderLength);
    header_ = std::move(header.line);
    file_line(header_);
    std::string_view body = contents.substr(header.consumed);
    if (body.starts_with('\r')) body.remove_prefix(1);
    for (std::string_view line : driver::split_at_carriage_returns(body)) file_line(line);
  }

  // The header line of the file in hand; its filed row views it.
  std::string header_;
};

}  // namespace

LoaderBench mir_bench() {
  return per_file_bench<meridon_full::MeridonFiles, PerFieldMirFiles>(
      "meridon_full", "qx_meridon_", "mir", "*.MIR", QX_MERIDON_PROGRAM);
}

}  // namespace qx::bench
