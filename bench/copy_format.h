// COPY's text format against its binary format on PostgreSQL: the bulk
// ceiling's rows (stored_rows.h), as the loaders hold them (numbers as
// numbers, texts in Windows-1252), written once by COPY in text and once by
// COPY in binary, each in one transaction on a fresh database, the two
// taking turns at going first. Each run reads its tables back and throws
// unless they hold exactly the rows the loader stored.
#pragma once

#include <cstddef>
#include <vector>

#include "loader_bench.h"
#include "throughput.h"

namespace qx::bench {

struct CopyFormatRun {
  double build_seconds = 0;       // the client's build of every table's payload
  double server_seconds = 0;      // from BEGIN to COMMIT, the payloads sent in it
  double server_cpu_seconds = 0;  // the server process's CPU time in it; 0 if unseen
  std::size_t bytes = 0;          // the payloads' size

  double total_seconds() const { return build_seconds + server_seconds; }
};

struct CopyFormatPair {
  CopyFormatRun text;
  CopyFormatRun binary;
};

struct CopyFormatResult {
  long long rows = 0;
  // The loader's own batches storing the same rows (one run, the history
  // kept): what a saving is set against.
  double loader_seconds = 0;
  std::vector<CopyFormatPair> runs;  // one per repetition
};

CopyFormatResult measure_copy_format(const LoaderBench& loader, const ThroughputOptions& options);

}  // namespace qx::bench
