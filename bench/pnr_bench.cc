// The PNR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include "loader_bench.h"
#include "per_field_record_file_handler.h"
#include "tarvo/pnr_loader.h"
#include "tarvo/tarvo_file_handler.h"

namespace qx::bench {

LoaderBench pnr_bench() {
  return per_file_bench<tarvo::TarvoFileHandler, PerFieldRecordFileHandler<tarvo::PnrLoader>>(
      "tarvo", "qx_tarvo_", "pnr", "*.PNR", QX_TARVO_PROGRAM);
}

}  // namespace qx::bench
