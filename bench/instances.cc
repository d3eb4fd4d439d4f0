#include "instances.h"

#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>

#include "sample_backlog.h"
#include "support/program_run.h"

namespace qx::bench {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Longer than any backlog of the benchmark takes.
constexpr auto kBacklogLimit = 600s;

double run_instances(const LoaderBench& loader, Backend backend, int count,
                     const std::vector<SampleFile>& files, const qx::testing::TempDir& dir,
                     const std::string& run) {
  BenchDatabase database(backend);
  database.connect();  // gives a new SQLite file its schema before the instances share it
  const Directories dirs = fresh_directories(dir, run);
  drop_files(files, files.size(), dirs.input);
  std::vector<std::unique_ptr<qx::testing::BackgroundProgram>> instances;
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    const std::string name = run + "_" + std::to_string(i);
    instances.push_back(std::make_unique<qx::testing::BackgroundProgram>(
        loader.program,
        std::vector<std::string>{"--settle-ms=0", "--instance=" + name, database.target_text(), "-",
                                 dirs.input.string(), dirs.backup.string()},
        dir.path(), dir.path() / (name + ".txt")));
  }
  while (!std::filesystem::is_empty(dirs.input) && Clock::now() - start < kBacklogLimit) {
    std::this_thread::sleep_for(5ms);
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  for (auto& instance : instances) {
    if (instance->stop(30s) != 0) throw std::runtime_error(loader.name + " instance failed");
  }
  expect_all_loaded(dirs, loader.name + " instances");
  return files.size() / seconds;
}

}  // namespace

std::vector<InstancesResult> measure_instances(const LoaderBench& loader, Backend backend,
                                               const std::vector<int>& counts,
                                               const ThroughputOptions& options) {
  const auto files = generate_files(loader, options.files, options);
  qx::testing::TempDir dir;
  std::vector<std::vector<double>> rates(counts.size());
  for (int rep = 0; rep < options.repetitions; ++rep) {
    for (std::size_t c = 0; c < counts.size(); ++c) {
      const std::string run = "r" + std::to_string(rep) + "n" + std::to_string(counts[c]);
      rates[c].push_back(run_instances(loader, backend, counts[c], files, dir, run));
    }
  }
  std::vector<InstancesResult> results;
  for (std::size_t c = 0; c < counts.size(); ++c) {
    results.push_back({counts[c], summarize(rates[c])});
  }
  return results;
}

}  // namespace qx::bench
