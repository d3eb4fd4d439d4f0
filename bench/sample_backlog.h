// The backlogs the benchmark's runs clear: generated sample files, held in
// memory and dropped into fresh directories for each run.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "loader_bench.h"
#include "support/temp_dir.h"
#include "throughput.h"

namespace qx::bench {

// `count` files of the loader's format, of the size `options` gives, named
// as the generator names them (so in the order they are numbered).
std::vector<SampleFile> generate_files(const LoaderBench& loader, int count,
                                       const ThroughputOptions& options);

// New, empty input and backup directories under `dir`, named by `run`.
Directories fresh_directories(const qx::testing::TempDir& dir, const std::string& run);

// Writes the first `count` files into `dir`, each name preceded by `prefix`.
void drop_files(const std::vector<SampleFile>& files, std::size_t count,
                const std::filesystem::path& dir, const std::string& prefix = {});

// Throws, naming `what`, when files are left in dirs.input.
void expect_all_loaded(const Directories& dirs, const std::string& what);

// An output stream that drops what the loaders print.
struct NullOutput {
  NullOutput() = default;
  NullOutput(const NullOutput&) = delete;
  NullOutput& operator=(const NullOutput&) = delete;
  ~NullOutput() { std::fclose(file); }
  std::FILE* file = std::fopen("/dev/null", "w");
};

}  // namespace qx::bench
