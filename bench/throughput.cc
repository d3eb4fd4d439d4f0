#include "throughput.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>

#include "bulk_ceiling.h"
#include "cpu_share.h"
#include "sample_backlog.h"
#include "stored_rows.h"

namespace qx::bench {
namespace {

using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Rates {
  double files_per_second = 0;
  double rows_per_second = 0;
  CpuShare cpu;
};

// The PostgreSQL backend process of `session`, whose CPU time is the
// server's share of a run; nothing for SQLite.
std::optional<pid_t> server_process(db::Session& session, Backend backend) {
  if (backend != Backend::postgresql) return std::nullopt;
  std::int64_t pid = 0;
  const bool asked = !session.query_integer("select pg_backend_pid()", {}, pid).failed();
  (void)session.rollback();  // a question only: nothing to keep
  if (!asked) return std::nullopt;
  return static_cast<pid_t>(pid);
}

// Loads the files with the loader's own code within `batch`, with or
// without the load history; with `keep` set, the rows it stored are read
// back into it afterwards.
Rates run_loader(const LoaderBench& loader, Backend backend, const std::vector<SampleFile>& files,
                 const qx::testing::TempDir& dir, int run, std::FILE* out, bool with_history,
                 scan::BatchLimits batch, std::optional<StoredRows>* keep = nullptr) {
  BenchDatabase database(backend);
  Directories dirs = fresh_directories(dir, std::to_string(run));
  drop_files(files, files.size(), dirs.input);
  auto session = database.connect();
  auto handler = loader.files(*session, out, batch);
  const CpuShareMeter meter(server_process(*session, backend));
  auto start = Clock::now();
  scan_once(*handler, loader.pattern, dirs, out, with_history ? loader.name.c_str() : nullptr,
            batch);
  double seconds = seconds_since(start);
  const CpuShare cpu = meter.share();
  expect_all_loaded(dirs, loader.name);
  double rows = static_cast<double>(database.rows_in_tables(loader.table_prefix));
  if (keep != nullptr && !*keep) *keep = read_stored_rows(database, loader.table_prefix);
  return {files.size() / seconds, rows / seconds, cpu};
}

double run_per_field(const LoaderBench& loader, Backend backend,
                     const std::vector<SampleFile>& files, std::size_t count,
                     const qx::testing::TempDir& dir, int run, std::FILE* out) {
  BenchDatabase database(backend);
  Directories dirs = fresh_directories(dir, std::to_string(run));
  drop_files(files, count, dirs.input);
  auto session = database.connect();
  auto handler = loader.per_field_files(*session, backend, out);
  auto start = Clock::now();
  scan_once(*handler, loader.pattern, dirs, out, nullptr, kPerFile);
  double seconds = seconds_since(start);
  expect_all_loaded(dirs, loader.name + " per field");
  return count / seconds;
}

// Files per second when every commit of the loader were all there is.
double run_floor(Backend backend, long long commits, std::size_t files, bool write) {
  BenchDatabase database(backend);
  auto session = database.connect();
  if (session->execute("create table if not exists bench_commit_floor (n integer)", {}).failed() ||
      session->commit().failed()) {
    throw std::runtime_error("floor table not created");
  }
  auto start = Clock::now();
  for (long long i = 0; i < commits; ++i) {
    if (write) {
      db::Bind n = db::Bind::integer(i);
      if (session->execute("insert into bench_commit_floor (n) values (:b0)", {&n, 1}).failed()) {
        throw std::runtime_error("floor insert failed");
      }
    } else {
      std::int64_t one = 0;
      if (session->query_integer("select 1", {}, one).failed()) {
        throw std::runtime_error("floor query failed");
      }
    }
    db::Status status = session->commit();
    if (status.failed()) throw std::runtime_error("floor commit failed: " + status.message);
  }
  return files / seconds_since(start);
}

// Rows per second of the bulk ceiling on a fresh database.
double run_ceiling(Backend backend, const std::string& prefix, const StoredRows& rows) {
  BenchDatabase database(backend);
  database.connect();  // gives a new SQLite file its schema
  const double seconds = write_in_bulk(database, rows);
  if (database.rows_in_tables(prefix) != rows.row_count()) {
    throw std::runtime_error("the bulk ceiling did not store every row");
  }
  return static_cast<double>(rows.row_count()) / seconds;
}

}  // namespace

ThroughputResult measure_throughput(const LoaderBench& loader, Backend backend,
                                    const ThroughputOptions& options) {
  auto files = generate_files(loader, options.files, options);
  const long long commits = loader.commits(files);
  const std::size_t per_field_files =
      std::min(files.size(), static_cast<std::size_t>(options.per_field_files));
  qx::testing::TempDir dir;
  NullOutput out;
  std::vector<double> files_per_second, rows_per_second, per_file_files, per_file_rows, per_field,
      floor, empty_floor, without_history, history_cost, ceiling, client_user, client_kernel,
      server;
  std::optional<StoredRows> stored;
  int run = 0;
  for (int rep = 0; rep < options.repetitions; ++rep) {
    // The loads with and without the history take turns at going first,
    // so that neither always meets the database just after the other.
    const bool history_first = rep % 2 == 0;
    auto load_without_history = [&] {
      without_history.push_back(
          run_loader(loader, backend, files, dir, run++, out.file, false, kProgramBatches)
              .files_per_second);
    };
    if (!history_first) load_without_history();
    Rates batches =
        run_loader(loader, backend, files, dir, run++, out.file, true, kProgramBatches, &stored);
    files_per_second.push_back(batches.files_per_second);
    rows_per_second.push_back(batches.rows_per_second);
    client_user.push_back(batches.cpu.client_user);
    client_kernel.push_back(batches.cpu.client_kernel);
    server.push_back(batches.cpu.server);
    if (history_first) load_without_history();
    history_cost.push_back(1.0 - batches.files_per_second / without_history.back());
    Rates per_file = run_loader(loader, backend, files, dir, run++, out.file, true, kPerFile);
    per_file_files.push_back(per_file.files_per_second);
    per_file_rows.push_back(per_file.rows_per_second);
    per_field.push_back(
        run_per_field(loader, backend, files, per_field_files, dir, run++, out.file));
    floor.push_back(run_floor(backend, commits, files.size(), true));
    empty_floor.push_back(run_floor(backend, commits, files.size(), false));
    ceiling.push_back(run_ceiling(backend, loader.table_prefix, *stored));
  }
  ThroughputResult result;
  result.files_per_second = summarize(files_per_second);
  result.rows_per_second = summarize(rows_per_second);
  result.per_file_files_per_second = summarize(per_file_files);
  result.per_file_rows_per_second = summarize(per_file_rows);
  result.without_history_files_per_second = summarize(without_history);
  result.history_cost = summarize(history_cost);
  result.per_field_files_per_second = summarize(per_field);
  result.per_field_files = static_cast<int>(per_field_files);
  result.floor_files_per_second = summarize(floor);
  result.empty_floor_files_per_second = summarize(empty_floor);
  result.ceiling_rows_per_second = summarize(ceiling);
  result.ceiling_rows = stored->row_count();
  result.client_user_share = summarize(client_user);
  result.client_kernel_share = summarize(client_kernel);
  result.server_share = summarize(server);
  return result;
}

}  // namespace qx::bench
