#include "latency.h"

#include <chrono>
#include <optional>
#include <stdexcept>

#include "history/load_history.h"
#include "os/env.h"
#include "os/stop_signal.h"
#include "sample_backlog.h"

namespace qx::bench {
namespace {

using Clock = std::chrono::steady_clock;

// Notes when the scan finished its first file, and asks it to stop there:
// the files after it are not what is measured.
class FirstFileDone : public scan::ScanObserver {
 public:
  void file_done(const scan::FileReport& report) override {
    if (at_) return;
    at_ = Clock::now();
    moved_ = report.moved;
    os::request_stop();
  }
  // When the first file was done; throws when none was moved.
  Clock::time_point at() const {
    if (!at_ || !moved_) throw std::runtime_error("the first file was not moved");
    return *at_;
  }

 private:
  std::optional<Clock::time_point> at_;
  bool moved_ = false;
};

struct Series {
  std::size_t files;  // dropped into the directory
  scan::BatchLimits batch;
  std::vector<double> seconds;
};

// One run: the files dropped into fresh directories (their names preceded
// by the run's, so none is one the history knows), then one scan.
double first_file_seconds(const LoaderBench& loader, scan::FileHandler& handler,
                          history::LoadHistory& history, const std::vector<SampleFile>& files,
                          const Series& series, const qx::testing::TempDir& dir,
                          const std::string& run, std::FILE* out) {
  const Directories dirs = fresh_directories(dir, run);
  drop_files(files, series.files, dirs.input, run + "_");
  os::RealEnv env;
  scan::ScanLoop loop(env, handler, once_settings(loader.pattern, dirs, series.batch), out,
                      &history);
  FirstFileDone first;
  loop.observe(first);
  const auto start = Clock::now();
  loop.scan();
  os::clear_stop_request();
  return std::chrono::duration<double>(first.at() - start).count();
}

}  // namespace

LatencyResult measure_latency(const LoaderBench& loader, Backend backend,
                              const ThroughputOptions& shape, const LatencyOptions& options) {
  const auto files = generate_files(loader, options.backlog, shape);
  const std::size_t backlog = files.size();
  std::vector<Series> series = {{1, kProgramBatches, {}},
                                {backlog, kProgramBatches, {}},
                                {1, kPerFile, {}},
                                {backlog, kPerFile, {}}};
  qx::testing::TempDir dir;
  NullOutput out;
  BenchDatabase database(backend);
  auto session = database.connect();
  history::LoadHistory history(*session, loader.name, "bench");
  for (int run = 0; run < options.runs; ++run) {
    for (std::size_t s = 0; s < series.size(); ++s) {
      const std::string name = "r" + std::to_string(run) + "s" + std::to_string(s);
      // Built for each run: a handler takes its batch limits when built.
      auto handler = loader.files(*session, out.file, series[s].batch);
      series[s].seconds.push_back(
          first_file_seconds(loader, *handler, history, files, series[s], dir, name, out.file));
    }
  }
  LatencyResult result;
  result.alone = summarize(series[0].seconds);
  result.first_of_backlog = summarize(series[1].seconds);
  result.alone_per_file = summarize(series[2].seconds);
  result.first_of_backlog_per_file = summarize(series[3].seconds);
  return result;
}

}  // namespace qx::bench
