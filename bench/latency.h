// How long a file waits from being settled in the input directory to being
// moved into the backup directory, measured in the process over one scan
// of the shared scan loop (settle check off, the load history kept, the
// session already connected): a file alone in the directory, and the first
// file in scan order of a backlog; each with the programs' batches and with
// a transaction per file. With batches the first file of a backlog is moved
// only once its whole batch committed; the figures show what that costs.
#pragma once

#include "bench_database.h"
#include "loader_bench.h"
#include "measurement.h"
#include "throughput.h"

namespace qx::bench {

struct LatencyOptions {
  int runs = 21;
  int backlog = 200;  // files in the backlog whose first file is timed
};

// Seconds, over the runs. The per-file figures are measured only for a
// loader that takes batches.
struct LatencyResult {
  Summary alone;
  Summary alone_per_file;
  Summary first_of_backlog;
  Summary first_of_backlog_per_file;
};

// The files are of the size `shape` gives (records, bookings, seed).
LatencyResult measure_latency(const LoaderBench& loader, Backend backend,
                              const ThroughputOptions& shape, const LatencyOptions& options);

}  // namespace qx::bench
