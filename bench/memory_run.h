// The memory a loader process holds while it clears a large backlog: the
// program itself, run with --once over N generated files, its resident size
// and its high-water mark read from /proc while it works.
#pragma once

#include "bench_database.h"
#include "loader_bench.h"
#include "throughput.h"

namespace qx::bench {

struct MemoryResult {
  int files = 0;
  double seconds = 0;
  long peak_kib = 0;
  // Resident size once the first thousand files were taken, and the largest
  // seen while the last thousand were.
  long first_thousand_kib = 0;
  long last_thousand_kib = 0;
};

MemoryResult measure_memory(const LoaderBench& loader, Backend backend, int files,
                            const ThroughputOptions& options);

}  // namespace qx::bench
