#include "throughput.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <stdexcept>

#include "generator/backlog.h"
#include "generator/sample_format.h"
#include "support/temp_dir.h"

namespace qx::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// An output stream that drops what the loaders print.
struct NullOutput {
  std::FILE* file = std::fopen("/dev/null", "w");
  ~NullOutput() { std::fclose(file); }
};

Directories fresh_directories(const qx::testing::TempDir& dir, int run) {
  Directories dirs{dir.path() / ("in" + std::to_string(run)),
                   dir.path() / ("backup" + std::to_string(run))};
  std::filesystem::create_directories(dirs.input);
  std::filesystem::create_directories(dirs.backup);
  return dirs;
}

void drop_files(const std::vector<SampleFile>& files, std::size_t count,
                const std::filesystem::path& dir) {
  for (std::size_t i = 0; i < count && i < files.size(); ++i) {
    qx::testing::write_file(dir / files[i].name, files[i].contents);
  }
}

void expect_all_loaded(const Directories& dirs, const std::string& what) {
  if (!std::filesystem::is_empty(dirs.input)) {
    throw std::runtime_error(what + " left files in the input directory");
  }
}

// Loads the files with the loader's own code: files/s and rows/s.
std::pair<double, double> run_loader(const LoaderBench& loader, Backend backend,
                                     const std::vector<SampleFile>& files,
                                     const qx::testing::TempDir& dir, int run, std::FILE* out,
                                     bool with_history) {
  BenchDatabase database(backend);
  Directories dirs = fresh_directories(dir, run);
  drop_files(files, files.size(), dirs.input);
  auto session = database.connect();
  auto start = Clock::now();
  loader.load(*session, dirs, out, with_history);
  double seconds = seconds_since(start);
  expect_all_loaded(dirs, loader.name);
  double rows = static_cast<double>(database.rows_in_tables(loader.table_prefix));
  return {files.size() / seconds, rows / seconds};
}

double run_per_field(const LoaderBench& loader, Backend backend,
                     const std::vector<SampleFile>& files, std::size_t count,
                     const qx::testing::TempDir& dir, int run, std::FILE* out) {
  BenchDatabase database(backend);
  Directories dirs = fresh_directories(dir, run);
  drop_files(files, count, dirs.input);
  auto session = database.connect();
  auto start = Clock::now();
  loader.load_per_field(*session, backend, dirs, out);
  double seconds = seconds_since(start);
  expect_all_loaded(dirs, loader.name + " per field");
  return count / seconds;
}

// Files per second when every commit of the loader were all there is.
double run_floor(Backend backend, long long commits, std::size_t files, bool write) {
  BenchDatabase database(backend);
  auto session = database.connect();
  session->execute("create table if not exists bench_commit_floor (n integer)", {});
  session->commit();
  auto start = Clock::now();
  for (long long i = 0; i < commits; ++i) {
    if (write) {
      db::Bind n = db::Bind::integer(i);
      session->execute("insert into bench_commit_floor (n) values (:b0)", {&n, 1});
    } else {
      std::int64_t one = 0;
      session->query_integer("select 1", {}, one);
    }
    db::Status status = session->commit();
    if (status.failed()) throw std::runtime_error("floor commit failed: " + status.message);
  }
  return files / seconds_since(start);
}

}  // namespace

std::vector<SampleFile> generate_files(const LoaderBench& loader, int count,
                                       const ThroughputOptions& options) {
  const generator::SampleFormat* format = generator::find_sample_format(loader.format);
  if (format == nullptr) throw std::runtime_error("no sample format " + loader.format);
  generator::FileOptions file_options;
  file_options.records = options.records;
  file_options.bookings = options.bookings;
  std::vector<SampleFile> files;
  for (int number = 1; number <= count; ++number) {
    files.push_back(
        {generator::sample_file_name(*format, number),
         format->generate(file_options, generator::sample_file_seed(options.seed, number))});
  }
  return files;
}

ThroughputResult measure_throughput(const LoaderBench& loader, Backend backend,
                                    const ThroughputOptions& options) {
  auto files = generate_files(loader, options.files, options);
  const long long commits = loader.commits(files);
  qx::testing::TempDir dir;
  NullOutput out;
  std::vector<double> files_per_second, rows_per_second, per_field, floor, empty_floor,
      without_history;
  int run = 0;
  for (int rep = 0; rep < options.repetitions; ++rep) {
    auto [f, r] = run_loader(loader, backend, files, dir, run++, out.file, true);
    files_per_second.push_back(f);
    rows_per_second.push_back(r);
    without_history.push_back(
        run_loader(loader, backend, files, dir, run++, out.file, false).first);
    per_field.push_back(
        run_per_field(loader, backend, files,
                      std::min(files.size(), static_cast<std::size_t>(options.per_field_files)),
                      dir, run++, out.file));
    floor.push_back(run_floor(backend, commits, files.size(), true));
    empty_floor.push_back(run_floor(backend, commits, files.size(), false));
  }
  return {summarize(files_per_second), summarize(rows_per_second), summarize(without_history),
          summarize(per_field),        summarize(floor),           summarize(empty_floor)};
}

}  // namespace qx::bench
