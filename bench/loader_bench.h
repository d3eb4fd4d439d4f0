// What the benchmark needs to know of one loader: its sample format and
// tables, how its own code loads a directory of files, how the per-field
// design loads it, and how many commits that design makes (the commit
// floor's unit: a line in the AIR loader, a file in the others).
#pragma once

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "bench_database.h"
#include "db/session.h"
#include "driver/scan_loop.h"

namespace qx::bench {

struct SampleFile {
  std::string name;
  std::string contents;
};

struct Directories {
  std::filesystem::path input;
  std::filesystem::path backup;
};

struct LoaderBench {
  std::string name;          // "corvane"
  std::string table_prefix;  // "qx_air_"
  std::string format;        // the generator's format: "air"
  std::string pattern;       // the loader's scan pattern: "*.air"
  std::string program;       // the program's path, for the memory run
  bool commits_per_line;     // true: a commit per line; false: per file
  // Loads every file of dirs.input with the loader's own code path (its
  // scan-loop loader over `session`), printing on `out`; with
  // `with_history` the loop keeps the load history, as the programs do.
  std::function<void(db::Session& session, const Directories& dirs, std::FILE* out,
                     bool with_history)>
      load;
  // The same files the way the per-field design loads them.
  std::function<void(db::Session& session, Backend backend, const Directories& dirs,
                     std::FILE* out)>
      load_per_field;
  // Commits the loader makes for these files.
  std::function<long long(const std::vector<SampleFile>& files)> commits;
};

LoaderBench air_bench();
LoaderBench pnr_bench();
LoaderBench mir_bench();

// Runs one scan of the shared scan loop with `loader` over dirs (settle
// check off), as a loader program does with --once; with `history_program`
// set the loop keeps the load history under that program's name.
void scan_once(driver::FileHandler& loader, const std::string& pattern, const Directories& dirs,
               std::FILE* out, const char* history_program = nullptr);

// The benchmark of a loader that commits once per file: its own scan-loop
// loader is `Files` (built from session, verbose flag, output), the
// per-field design's is `PerFieldFiles` (built from session, backend,
// output).
template <class Files, class PerFieldFiles>
LoaderBench per_file_bench(std::string name, std::string table_prefix, std::string format,
                           std::string pattern, std::string program) {
  return {
      name,
      std::move(table_prefix),
      std::move(format),
      pattern,
      std::move(program),
      false,
      [pattern, name](db::Session& session, const Directories& dirs, std::FILE* out,
                      bool with_history) {
        Files files(session, false, out);
        scan_once(files, pattern, dirs, out, with_history ? name.c_str() : nullptr);
      },
      [pattern](db::Session& session, Backend backend, const Directories& dirs, std::FILE* out) {
        PerFieldFiles files(session, backend, out);
        scan_once(files, pattern, dirs, out);
      },
      [](const std::vector<SampleFile>& files) { return static_cast<long long>(files.size()); },
  };
}

}  // namespace qx::bench
