// The MIR loader under the benchmark: its own scan-loop loader, and the
// per-field design's variant, which asks the database for every tag, cut,
// constant and null fill around the loader's own filing and load.
#include "loader_bench.h"
#include "meridon_full/meridon_file_handler.h"
#include "meridon_full/mir_loader.h"
#include "per_field_record_file_handler.h"

namespace qx::bench {

LoaderBench mir_bench() {
  return per_file_bench<meridon_full::MeridonFileHandler,
                        PerFieldRecordFileHandler<meridon_full::MirLoader>>(
      "meridon_full", "qx_meridon_", "mir", "*.MIR", QX_MERIDON_PROGRAM);
}

}  // namespace qx::bench
