// One throughput comparison: a loader on one backend and one file size,
// its own code (with the programs' batches, and a transaction per file)
// against the per-field design, the commit floor and the bulk ceiling,
// each measured several times on fresh databases, interleaved so that a
// slow moment of the machine touches them all alike.
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
  // The loader as its program runs it: the programs' batches (ignored by a
  // loader that commits every line) and the load history.
  Summary files_per_second;
  Summary rows_per_second;
  // The same with a transaction per file; measured only for a loader that
  // takes batches.
  Summary per_file_files_per_second;
  Summary per_file_rows_per_second;
  // The loader with the programs' batches, without the load history.
  Summary without_history_files_per_second;
  // What the history costs, 1 - with/without, taken within each repetition
  // from its two adjacent loads, so that a slow spell of the machine that
  // spans a repetition cancels out.
  Summary history_cost;
  Summary per_field_files_per_second;
  int per_field_files = 0;
  // One transaction per commit of the per-file design, each writing one
  // small row.
  Summary floor_files_per_second;
  // The same with nothing written: neither database syncs such a commit.
  Summary empty_floor_files_per_second;
  // The loader's rows written by the database's fastest path in one
  // transaction (bulk_ceiling.h).
  Summary ceiling_rows_per_second;
  long long ceiling_rows = 0;
  // Of the batches' wall time: the loader's CPU in user space and in the
  // kernel, and the database server's CPU for its connection (cpu_share.h).
  Summary client_user_share;
  Summary client_kernel_share;
  Summary server_share;
};

ThroughputResult measure_throughput(const LoaderBench& loader, Backend backend,
                                    const ThroughputOptions& options);

}  // namespace qx::bench
