// The loaders' benchmark: how fast each clears a backlog, on SQLite and on
// PostgreSQL, with the programs' batches and with a transaction per file,
// against the per-field design, the commit floor and the bulk ceiling; how
// long a file waits to be loaded; how several instances share a backlog;
// and how much memory a loader holds over a long backlog; and COPY's binary
// format against its text format.
//
//   loader_bench [--loader=NAME[,NAME...]|all] [--backend=sqlite|postgresql|both]
//                [--size=typical|large|both] [--files=N] [--per-field-files=N]
//                [--repetitions=R] [--seed=S]
//                [--only=PART,...] [--no-PART] [--instances] [--memory-only]
//                [--latency-runs=N] [--latency-backlog=N] [--memory-files=N]
//
// PART is throughput, latency, instances, memory or copy_format; all but
// instances and copy_format run unless told otherwise (--instances adds it,
// --memory-only is --only=memory); copy_format runs on PostgreSQL only.
// PostgreSQL is reached through QX_TEST_PGHOST, QX_TEST_PGPORT and
// QX_TEST_PGUSER; bench/run.sh starts a server and sets them.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "copy_format.h"
#include "instances.h"
#include "latency.h"
#include "loader_bench.h"
#include "memory_run.h"
#include "throughput.h"

namespace qx::bench {
namespace {

const std::set<std::string> kParts = {"throughput", "latency", "instances", "memory",
                                      "copy_format"};

struct Options {
  std::vector<LoaderBench> loaders;
  std::vector<Backend> backends = {Backend::sqlite, Backend::postgresql};
  std::vector<std::string> sizes = {"typical", "large"};
  int files = 0;  // 0: the size's default
  int per_field_files = 0;
  int repetitions = 3;
  int memory_files = 10000;
  std::set<std::string> parts = {"throughput", "latency", "memory"};
  LatencyOptions latency;
  std::uint64_t seed = 20261208;

  bool runs(const std::string& part) const { return parts.contains(part); }
};

std::vector<LoaderBench> all_loaders() {
  return {air_bench(), pnr_bench(), mir_bench()};
}

[[noreturn]] void usage(const std::string& problem) {
  std::fprintf(stderr,
               "loader_bench: %s\nusage: loader_bench [--loader=NAME|all] "
               "[--backend=sqlite|postgresql|both] [--size=typical|large|both] [--files=N] "
               "[--per-field-files=N] [--repetitions=R] [--seed=S] [--only=PART,...] "
               "[--no-PART] [--instances] [--memory-only] [--latency-runs=N] "
               "[--latency-backlog=N] [--memory-files=N]\n"
               "PART: throughput, latency, instances, memory, copy_format\n",
               problem.c_str());
  std::exit(2);
}

std::set<std::string> parts_of(std::string_view list) {
  std::set<std::string> parts;
  while (!list.empty()) {
    const auto comma = list.find(',');
    std::string part(list.substr(0, comma));
    if (!kParts.contains(part)) usage("no part called " + part);
    parts.insert(part);
    list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
  }
  return parts;
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
    } else if (arg.starts_with("--latency-runs=")) {
      options.latency.runs = std::stoi(value("--latency-runs="));
    } else if (arg.starts_with("--latency-backlog=")) {
      options.latency.backlog = std::stoi(value("--latency-backlog="));
    } else if (arg.starts_with("--only=")) {
      options.parts = parts_of(value("--only="));
    } else if (arg.starts_with("--no-") && kParts.contains(value("--no-"))) {
      options.parts.erase(value("--no-"));
    } else if (arg == "--instances") {
      options.parts.insert("instances");
    } else if (arg == "--memory-only") {
      options.parts = {"memory"};
    } else if (arg.starts_with("--seed=")) {
      options.seed = std::stoull(value("--seed="));
    } else {
      usage("unknown argument " + std::string(arg));
    }
  }
  for (auto& bench : all_loaders()) {
    // A list names several: --loader=corvane,tarvo.
    const std::string listed = "," + loader + ",";
    if (loader == "all" || listed.find("," + bench.name + ",") != std::string::npos) {
      options.loaders.push_back(bench);
    }
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
  // A loader that commits every line without batches makes thirty times
  // the commits of one that commits every file; its backlog is smaller so
  // that a run, which measures both, takes about as long.
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

void print_heading(const LoaderBench& loader, Backend backend, const std::string& size,
                   const char* what) {
  std::printf("%-13s %-10s %-7s %s\n", loader.name.c_str(), backend_name(backend), size.c_str(),
              what);
}

void print_throughput(const LoaderBench& loader, Backend backend, const std::string& size,
                      const ThroughputOptions& t, const ThroughputResult& r) {
  std::printf("%-13s %-10s %-7s %5d files x %3d records, %d repetitions\n", loader.name.c_str(),
              backend_name(backend), size.c_str(), t.files, t.records, t.repetitions);
  const double loader_rows = r.rows_per_second.median;
  const double ceiling = r.ceiling_rows_per_second.median;
  std::printf("  batches      files/s %-28s rows/s %s\n", range(r.files_per_second, "%.1f").c_str(),
              range(r.rows_per_second, "%.0f").c_str());
  std::printf("  %-12s files/s %-28s rows/s %s\n", loader.unbatched(),
              range(r.per_file_files_per_second, "%.1f").c_str(),
              range(r.per_file_rows_per_second, "%.0f").c_str());
  std::printf("  batches: %.1f files/s, %s: %.1f files/s (%.2f times)\n", r.files_per_second.median,
              loader.unbatched(), r.per_file_files_per_second.median,
              r.files_per_second.median / r.per_file_files_per_second.median);
  const Summary cost = {100 * r.history_cost.median, 100 * r.history_cost.min,
                        100 * r.history_cost.max};
  std::printf("  no history   files/s %-28s (the history costs %s %%)\n",
              range(r.without_history_files_per_second, "%.1f").c_str(),
              range(cost, "%.1f").c_str());
  std::printf("  per-field    files/s %-28s (%d files)\n",
              range(r.per_field_files_per_second, "%.1f").c_str(), r.per_field_files);
  std::printf("  commit floor files/s %-28s (empty transactions: %s)\n",
              range(r.floor_files_per_second, "%.1f").c_str(),
              range(r.empty_floor_files_per_second, "%.1f").c_str());
  std::printf("  bulk ceiling rows/s  %-28s (%lld rows in one transaction)\n",
              range(r.ceiling_rows_per_second, "%.0f").c_str(), r.ceiling_rows);
  std::printf("  batches %.2f of the bulk ceiling, %s %.2f of the bulk ceiling\n",
              loader_rows / ceiling, loader.unbatched(),
              r.per_file_rows_per_second.median / ceiling);
  const double busy =
      r.client_user_share.median + r.client_kernel_share.median + r.server_share.median;
  std::printf("  batches' time: loader %.2f (user %.2f, kernel %.2f), server %.2f, neither %.2f\n",
              r.client_user_share.median + r.client_kernel_share.median, r.client_user_share.median,
              r.client_kernel_share.median, r.server_share.median, busy < 1 ? 1 - busy : 0.0);
  std::printf(
      "  ratio to per-field %.1f   ratio to commit floor %.2f   to empty transactions %.2f\n\n",
      r.files_per_second.median / r.per_field_files_per_second.median,
      r.files_per_second.median / r.floor_files_per_second.median,
      r.files_per_second.median / r.empty_floor_files_per_second.median);
  std::fflush(stdout);
}

void print_latency(const LoaderBench& loader, Backend backend, const std::string& size,
                   const LatencyOptions& options, const LatencyResult& r) {
  char what[96];
  std::snprintf(what, sizeof what, "latency, median of %d runs, first of %d files:", options.runs,
                options.backlog);
  print_heading(loader, backend, size, what);
  auto ms = [](const Summary& s) {
    return range({s.median * 1e3, s.min * 1e3, s.max * 1e3}, "%.1f");
  };
  std::printf("  alone        batches %s ms, %s %s ms\n", ms(r.alone).c_str(), loader.unbatched(),
              ms(r.alone_per_file).c_str());
  std::printf("  first        batches %s ms, %s %s ms\n\n", ms(r.first_of_backlog).c_str(),
              loader.unbatched(), ms(r.first_of_backlog_per_file).c_str());
  std::fflush(stdout);
}

void print_instances(const LoaderBench& loader, Backend backend, const std::string& size,
                     const ThroughputOptions& t, const std::vector<InstancesResult>& results) {
  char what[96];
  std::snprintf(what, sizeof what, "%d files, instances of the program, %d repetitions:", t.files,
                t.repetitions);
  print_heading(loader, backend, size, what);
  for (const auto& r : results) {
    std::printf("  %d instance%s files/s %-28s (%.2f times one)\n", r.instances,
                r.instances == 1 ? " " : "s", range(r.files_per_second, "%.1f").c_str(),
                r.files_per_second.median / results.front().files_per_second.median);
  }
  std::printf("\n");
  std::fflush(stdout);
}

void print_copy_format(const LoaderBench& loader, const std::string& size,
                       const ThroughputOptions& t, const CopyFormatResult& r) {
  char what[160];
  std::snprintf(what, sizeof what,
                "COPY binary against text, %d files, %lld rows, %d repetitions (the loader's "
                "batches took %.2f s):",
                t.files, r.rows, t.repetitions, r.loader_seconds);
  print_heading(loader, Backend::postgresql, size, what);
  auto figures = [](const CopyFormatRun& run) {
    char text[160];
    std::snprintf(text, sizeof text, "build %.3f s, server %.3f s (cpu %.3f s), %.1f MB",
                  run.build_seconds, run.server_seconds, run.server_cpu_seconds, run.bytes / 1e6);
    return std::string(text);
  };
  std::vector<double> rows, build, server, cpu, bytes, text_total, binary_total;
  for (std::size_t i = 0; i < r.runs.size(); ++i) {
    const CopyFormatRun& text = r.runs[i].text;
    const CopyFormatRun& binary = r.runs[i].binary;
    rows.push_back(text.total_seconds() / binary.total_seconds());
    build.push_back(binary.build_seconds / text.build_seconds);
    server.push_back(binary.server_seconds / text.server_seconds);
    cpu.push_back(text.server_cpu_seconds > 0 ? binary.server_cpu_seconds / text.server_cpu_seconds
                                              : 0);
    bytes.push_back(static_cast<double>(binary.bytes) / text.bytes);
    text_total.push_back(text.total_seconds());
    binary_total.push_back(binary.total_seconds());
    std::printf("  run %zu (%s first)\n    text   %s\n    binary %s\n", i + 1,
                i % 2 == 0 ? "text" : "binary", figures(text).c_str(), figures(binary).c_str());
    std::printf(
        "    binary/text: rows/s %.2f, build %.2f, server %.2f, server cpu %.2f, bytes %.2f\n",
        rows.back(), build.back(), server.back(), cpu.back(), bytes.back());
  }
  std::printf(
      "  binary/text, median [least-greatest]: rows/s %s, build %s, server %s, "
      "server cpu %s, bytes %s\n",
      range(summarize(rows), "%.2f").c_str(), range(summarize(build), "%.2f").c_str(),
      range(summarize(server), "%.2f").c_str(), range(summarize(cpu), "%.2f").c_str(),
      range(summarize(bytes), "%.2f").c_str());
  const double saved = summarize(text_total).median - summarize(binary_total).median;
  std::printf(
      "  binary saves %.3f s of text's %.3f s (build and server, medians): %.1f %% of the "
      "loader's batches' time\n\n",
      saved, summarize(text_total).median, 100 * saved / r.loader_seconds);
  std::fflush(stdout);
}

}  // namespace
}  // namespace qx::bench

int main(int argc, char** argv) {
  using namespace qx::bench;
  Options options = parse(argc, argv);
  for (const auto& loader : options.loaders) {
    for (Backend backend : options.backends) {
      for (const auto& size : options.sizes) {
        ThroughputOptions t = size_options(options, loader, size, backend);
        if (options.runs("throughput")) {
          print_throughput(loader, backend, size, t, measure_throughput(loader, backend, t));
        }
        if (options.runs("latency")) {
          print_latency(loader, backend, size, options.latency,
                        measure_latency(loader, backend, t, options.latency));
        }
        if (options.runs("copy_format") && backend == Backend::postgresql) {
          print_copy_format(loader, size, t, measure_copy_format(loader, t));
        }
        if (options.runs("instances")) {
          print_instances(loader, backend, size, t,
                          measure_instances(loader, backend, {1, 2, 4}, t));
        }
      }
    }
  }
  if (!options.runs("memory")) return 0;
  for (const auto& loader : options.loaders) {
    // The program runs with its defaults: the batches of a loader that
    // takes them (on a server, with the next batch converted ahead).
    for (Backend backend : options.backends) {
      ThroughputOptions t = size_options(options, loader, "typical", backend);
      MemoryResult m = measure_memory(loader, backend, options.memory_files, t);
      std::printf(
          "%-13s memory over %d files (%s, %.0f s): peak %.1f MiB; resident %.1f MiB after "
          "1000 files, at most %.1f MiB over the last 1000 (growth %.2f MiB)\n",
          loader.name.c_str(), m.files, backend_name(backend), m.seconds, m.peak_kib / 1024.0,
          m.first_thousand_kib / 1024.0, m.last_thousand_kib / 1024.0,
          (m.last_thousand_kib - m.first_thousand_kib) / 1024.0);
    }
  }
  return 0;
}
