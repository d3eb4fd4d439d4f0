// What the benchmark needs to know of one loader: its sample format and
// tables, its own file handling and that of the per-field design, what its
// batches are, and how many commits the per-file design makes (the commit
// floor's unit: a line in the AIR loader, a file in the others).
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_database.h"
#include "db/session.h"
#include "scan/batch_limits.h"
#include "scan/scan_loop.h"

namespace qx::bench {

struct SampleFile {
  std::string name;
  std::string contents;
};

struct Directories {
  std::filesystem::path input;
  std::filesystem::path backup;
};

// The batch limits the programs run with unless told otherwise, and one
// transaction per file (the loaders' behaviour before batches).
inline constexpr scan::BatchLimits kProgramBatches{};
// One transaction per file, and for the AIR loader one commit per line.
inline constexpr scan::BatchLimits kPerFile = scan::kOneAtATime;

// The loader's file handling; `batch` is for a handler that takes its
// limits itself (the AIR loader's groups of lines).
using MakeFiles = std::function<std::unique_ptr<scan::FileHandler>(
    db::Session& session, std::FILE* out, scan::BatchLimits batch)>;
using MakePerFieldFiles = std::function<std::unique_ptr<scan::FileHandler>(
    db::Session& session, Backend backend, std::FILE* out)>;

struct LoaderBench {
  std::string name;          // "corvane"
  std::string table_prefix;  // "qx_air_"
  std::string format;        // the generator's format: "air"
  std::string pattern;       // the loader's scan pattern: "*.air"
  std::string program;       // the built program's path, for the runs of whole programs
  // True: without batches (kPerFile) a commit per line, and in batches
  // groups of lines; false: a transaction per file, or per batch of files.
  bool commits_per_line;
  // The loader's own scan-loop file handling over `session`, printing on
  // `out`, as its program builds it.
  MakeFiles files;
  // The per-field design's file handling.
  MakePerFieldFiles per_field_files;
  // Commits the per-file design makes for these files.
  std::function<long long(const std::vector<SampleFile>& files)> commits;

  // What the loader without batches is called in the report.
  const char* unbatched() const { return commits_per_line ? "per line" : "per file"; }
};

LoaderBench air_bench();
LoaderBench pnr_bench();
LoaderBench mir_bench();

// The settings of a single scan of dirs with the settle check off, as a
// loader program runs with --once --settle-ms=0, within `batch`.
scan::ScanSettings once_settings(const std::string& pattern, const Directories& dirs,
                                 scan::BatchLimits batch);

// Runs one scan of the shared scan loop with `files` over dirs (settle
// check off), as a loader program does with --once; with `history_program`
// set the loop keeps the load history under that program's name.
void scan_once(scan::FileHandler& files, const std::string& pattern, const Directories& dirs,
               std::FILE* out, const char* history_program, scan::BatchLimits batch);

// The benchmark of a loader that commits once per file or per batch: its
// own scan-loop file handling is `Files` (built from session, verbose flag,
// output), the per-field design's is `PerFieldFiles` (built from session,
// backend, output).
template <class Files, class PerFieldFiles>
LoaderBench per_file_bench(std::string name, std::string table_prefix, std::string format,
                           std::string pattern, std::string program) {
  return {
      std::move(name),
      std::move(table_prefix),
      std::move(format),
      std::move(pattern),
      std::move(program),
      false,
      [](db::Session& session, std::FILE* out, scan::BatchLimits) {
        return std::make_unique<Files>(session, false, out);
      },
      [](db::Session& session, Backend backend, std::FILE* out) {
        return std::make_unique<PerFieldFiles>(session, backend, out);
      },
      [](const std::vector<SampleFile>& files) { return static_cast<long long>(files.size()); },
  };
}

}  // namespace qx::bench
