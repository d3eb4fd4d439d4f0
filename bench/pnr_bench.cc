// The PNR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include "driver/text_reading.h"
#include "loader_bench.h"
#include "per_field_record_files.h"
#include "tarvo/pnr_loader.h"
#include "tarvo/pnr_records.h"
#include "tarvo/tarvo_files.h"

namespace qx::bench {
namespace {

class PerFieldPnrFiles : public PerFieldRecordFiles<tarvo::PnrLoader> {
 public:
  PerFieldPnrFiles(db::Session& session, Backend backend, std::FILE* out)
      : PerFieldRecordFiles(session, backend, tarvo::pnr_record_types(), tarvo::kTagLength, out) {}

 private:
  void file_lines(std::string_view contents) override {
    for (std::string_view record : driver::split_at_carriage_returns(contents)) file_line(record);
  }
};

}  // namespace

LoaderBench pnr_bench() {
  return per_file_bench<tarvo::TarvoFiles, PerFieldPnrFiles>("tarvo", "qx_tarvo_", "pnr", "*.PNR",
                                                             QX_TARVO_PROGRAM);
}

}  // namespace qx::bench
