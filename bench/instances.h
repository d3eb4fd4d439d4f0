// Files per second of several instances of a loader program sharing one
// input directory and one database: each count of instances clears the
// same backlog, the instances started together (continuous runs, settle
// check off) and stopped with SIGTERM once the input directory is empty.
// The time runs from their start to the last file's move.
#pragma once

#include <vector>

#include "bench_database.h"
#include "loader_bench.h"
#include "measurement.h"
#include "throughput.h"

namespace qx::bench {

struct InstancesResult {
  int instances = 0;
  Summary files_per_second;
};

// One result per entry of `counts`, measured options.repetitions times,
// the counts interleaved; the backlog is options.files files of that size.
std::vector<InstancesResult> measure_instances(const LoaderBench& loader, Backend backend,
                                               const std::vector<int>& counts,
                                               const ThroughputOptions& options);

}  // namespace qx::bench
