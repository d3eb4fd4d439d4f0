// One throughput comparison: a loader on one backend and one file size,
// its own code against the per-field design and the commit floor, each
// measured several times on fresh databases, interleaved so that a slow
// moment of the machine touches all three alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "loader_bench.h"
#include "measurement.h"

namespace qx::bench {

struct ThroughputOptions {
  int files = 1000;           // files in the backlog the loader clears
  int per_field_files = 100;  // files the per-field design loads
  int records = 30;           // records per file
  int bookings = 1;           // bookings per file (AIR)
  int repetitions = 5;
  std::uint64_t seed = 1;
};

struct ThroughputResult {
  Summary files_per_second;
  Summary rows_per_second;
  // The same loader without the load history.
  Summary without_history_files_per_second;
  Summary per_field_files_per_second;
  // One transaction per commit the loader makes, each writing one small row.
  Summary floor_files_per_second;
  // The same with nothing written: neither database syncs such a commit.
  Summary empty_floor_files_per_second;
};

ThroughputResult measure_throughput(const LoaderBench& loader, Backend backend,
                                    const ThroughputOptions& options);

std::vector<SampleFile> generate_files(const LoaderBench& loader, int count,
                                       const ThroughputOptions& options);

}  // namespace qx::bench
