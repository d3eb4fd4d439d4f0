// The loaders' benchmark: how fast each clears a backlog, on SQLite and on
// PostgreSQL, against the per-field design and against the commit floor,
// and how much memory a loader holds over a long backlog.
//
//   loader_bench [--loader=NAME|all] [--backend=sqlite|postgresql|both]
//                [--size=typical|large|both] [--files=N] [--per-field-files=N]
//                [--repetitions=R] [--memory-files=N] [--no-memory] [--memory-only] [--seed=S]
//
// PostgreSQL is reached through QX_TEST_PGHOST, QX_TEST_PGPORT and
// QX_TEST_PGUSER; bench/run.sh starts a server and sets them.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "loader_bench.h"
#include "memory_run.h"
#include "throughput.h"

namespace qx::bench {
namespace {

struct Options {
  std::vector<LoaderBench> loaders;
  std::vector<Backend> backends = {Backend::sqlite, Backend::postgresql};
  std::vector<std::string> sizes = {"typical", "large"};
  int files = 0;  // 0: the size's default
  int per_field_files = 0;
  int repetitions = 3;
  int memory_files = 10000;
  bool memory = true;
  bool throughput = true;
  std::uint64_t seed = 20261208;
};

std::vector<LoaderBench> all_loaders() {
  return {air_bench(), pnr_bench(), mir_bench()};
}

[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(
      stderr,
      "loader_bench: %s\nusage: loader_bench [--loader=NAME|all] "
      "[--backend=sqlite|postgresql|both] [--size=typical|large|both] [--files=N] "
      "[--per-field-files=N] [--repetitions=R] [--memory-files=N] [--no-memory] [--memory-only] "
      "[--seed=S]\n",
      problem.c_str());
  std::exit(2);
}

Options parse(int argc, char** argv) {
  Options options;
  std::string loader = "all";
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    auto value = [&](std::string_view name) -> std::string {
      return std::string(arg.substr(name.size()));
    };
    if (arg.starts_with("--loader=")) {
      loader = value("--loader=");
    } else if (arg == "--backend=sqlite") {
      options.backends = {Backend::sqlite};
    } else if (arg == "--backend=postgresql") {
      options.backends = {Backend::postgresql};
    } else if (arg == "--backend=both") {
    } else if (arg == "--size=typical" || arg == "--size=large") {
      options.sizes = {value("--size=")};
    } else if (arg == "--size=both") {
    } else if (arg.starts_with("--files=")) {
      options.files = std::stoi(value("--files="));
    } else if (arg.starts_with("--per-field-files=")) {
      options.per_field_files = std::stoi(value("--per-field-files="));
    } else if (arg.starts_with("--repetitions=")) {
      options.repetitions = std::stoi(value("--repetitions="));
    } else if (arg.starts_with("--memory-files=")) {
      options.memory_files = std::stoi(value("--memory-files="));
    } else if (arg == "--no-memory") {
      options.memory = false;
    } else if (arg == "--memory-only") {
      options.throughput = false;
    } else if (arg.starts_with("--seed=")) {
      options.seed = std::stoull(value("--seed="));
    } else {
      usage("unknown argument " + std::string(arg));
    }
  }
  for (auto& bench : all_loaders()) {
    if (loader == "all" || loader == bench.name) options.loaders.push_back(bench);
  }
  if (options.loaders.empty()) usage("no loader called " + loader);
  return options;
}

ThroughputOptions size_options(const Options& options, const LoaderBench& loader,
                               const std::string& size, Backend backend) {
  ThroughputOptions t;
  t.seed = options.seed;
  t.repetitions = options.repetitions;
  const bool large = size == "large";
  t.records = large ? 300 : 30;
  t.bookings = large ? 6 : 1;
  // A loader that commits every line makes thirty times the commits of one
  // that commits every file; its backlog is smaller so that a run takes
  // about as long.
  const bool per_line = loader.commits_per_line;
  int files = large ? (per_line ? 50 : 300) : (per_line ? 500 : 2000);
  t.files = options.files > 0 ? options.files : files;
  // The per-field design is slow over a network protocol; a sample of it is
  // enough for its rate.
  int per_field = backend == Backend::postgresql ? (large ? 10 : 60) : (large ? 60 : 400);
  t.per_field_files = options.per_field_files > 0 ? options.per_field_files : per_field;
  return t;
}

std::string range(const Summary& s, const char* format) {
  char buffer[128];
  std::string median(64, '\0'), min(64, '\0'), max(64, '\0');
  std::snprintf(median.data(), median.size(), format, s.median);
  std::snprintf(min.data(), min.size(), format, s.min);
  std::snprintf(max.data(), max.size(), format, s.max);
  std::snprintf(buffer, sizeof buffer, "%s [%s-%s]", median.c_str(), min.c_str(), max.c_str());
  return buffer;
}

void print_throughput(const LoaderBench& loader, Backend backend, const std::string& size,
                      const ThroughputOptions& t, const ThroughputResult& r) {
  std::printf("%-13s %-10s %-7s %5d files x %3d records, %d repetitions\n", loader.name.c_str(),
              backend_name(backend), size.c_str(), t.files, t.records, t.repetitions);
  std::printf("  loader       files/s %-28s rows/s %s\n", range(r.files_per_second, "%.1f").c_str(),
              range(r.rows_per_second, "%.0f").c_str());
  std::printf(
      "  no history   files/s %-28s (the history costs %.1f %%)\n",
      range(r.without_history_files_per_second, "%.1f").c_str(),
      100.0 * (1.0 - r.files_per_second.median / r.without_history_files_per_second.median));
  std::printf("  per-field    files/s %-28s (%d files)\n",
              range(r.per_field_files_per_second, "%.1f").c_str(), t.per_field_files);
  std::printf("  commit floor files/s %-28s (empty transactions: %s)\n",
              range(r.floor_files_per_second, "%.1f").c_str(),
              range(r.empty_floor_files_per_second, "%.1f").c_str());
  std::printf(
      "  ratio to per-field %.1f   ratio to commit floor %.2f   to empty transactions %.2f\n\n",
      r.files_per_second.median / r.per_field_files_per_second.median,
      r.files_per_second.median / r.floor_files_per_second.median,
      r.files_per_second.median / r.empty_floor_files_per_second.median);
  std::fflush(stdout);
}

}  // namespace
}  // namespace qx::bench

int main(int argc, char** argv) {
  using namespace qx::bench;
  Options options = parse(argc, argv);
  for (const auto& loader : options.loaders) {
    if (!options.throughput) break;
    for (Backend backend : options.backends) {
      for (const auto& size : options.sizes) {
        ThroughputOptions t = size_options(options, loader, size, backend);
        print_throughput(loader, backend, size, t, measure_throughput(loader, backend, t));
      }
    }
  }
  if (!options.memory) return 0;
  for (const auto& loader : options.loaders) {
    ThroughputOptions t = size_options(options, loader, "typical", Backend::sqlite);
    MemoryResult m = measure_memory(loader, Backend::sqlite, options.memory_files, t);
    std::printf(
        "%-13s memory over %d files (SQLite, %.0f s): peak %.1f MiB; resident %.1f MiB after "
        "1000 files, at most %.1f MiB over the last 1000 (growth %.2f MiB)\n",
        loader.name.c_str(), m.files, m.seconds, m.peak_kib / 1024.0, m.first_thousand_kib / 1024.0,
        m.last_thousand_kib / 1024.0, (m.last_thousand_kib - m.first_thousand_kib) / 1024.0);
  }
  return 0;
}
