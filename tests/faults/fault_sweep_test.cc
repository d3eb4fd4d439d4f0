// The file handling of the PNR, MIR and AIR loaders on the scan loop, with
// a load history, on SQLite and PostgreSQL, met by a failure at every call a
// clean load of two files makes: the database's (a lost connection, a
// missing table, a row's own failure) and the file system's, once or from
// that call on, and on PostgreSQL the server ending the session just
// before the call (the rows of a batch being copied among them); or by another file taking the
// first file's name at any of the file system's calls. After the failing scan, a file in the backup
// directory is in the history as loaded and nothing is stored twice; after the failure is gone and
// the loop has scanned again, every file has been loaded exactly once: its rows are those of a
// clean load (one row lost to a row failure at most) and the history holds it once, as loaded.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "file_handling_run.h"
#include "generator/mir_sample.h"
#include "schema/schema.h"
#include "support/loaded_rows.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

// A loader family's file handling, two files for it, a file of another
// size that may take the first one's name, and the files (and AIR lines) of
// one transaction (both files at once: the failures meet a batch).
struct SweptHandling {
  const Handling* handling;
  Files files;
  std::string replacement;
  const char* name;
  scan::BatchLimits batch = scan::kOneAtATime;
};

const Files kPnrFiles = {{"A.PNR", "AAheader-a\rM1one\rM2two\rM2three\r"},
                         {"B.PNR", "AAheader-b\rM1four\r"}};
const char kPnrReplacement[] = "AAheader-n\rM1five\rM2six\r";
const SweptHandling kPnr = {&kTarvoHandling, kPnrFiles, kPnrReplacement, "tarvo"};
const SweptHandling kPnrBatch = {
    &kTarvoHandling, kPnrFiles, kPnrReplacement, "tarvo_batch", {.files = 2}};

const SweptHandling kMir = {&kMeridonHandling,
                            {{"A.MIR", generator::generate_mir_file({.records = 14}, 1)},
                             {"B.MIR", generator::generate_mir_file({.records = 13}, 2)}},
                            generator::generate_mir_file({.records = 15}, 3),
                            "meridon_full"};

const Files kAirFiles = {{"A.air", "AMD a1;x\nB-a1\nAMD a2;y\nU-1\n"},
                         {"B.air", "AMD b1;z\nH-1\n"}};
const char kAirReplacement[] = "AMD n1;w\nB-n1\n";
const SweptHandling kAir = {&kCorvaneHandling, kAirFiles, kAirReplacement, "corvane"};
// Groups of three lines: one within A, one across the end of A and the
// start of B; on PostgreSQL every table's rows go by COPY.
const SweptHandling kAirGroups = {&kCorvaneHandling,
                                  kAirFiles,
                                  kAirReplacement,
                                  "corvane_groups",
                                  {.files = 2, .lines = 3, .copy_rows_from = 1}};

enum class FaultKind { lost_connection, missing_table, row_failure, file_system, terminated };

struct Fault {
  FaultKind kind;
  const char* name;
  db::Status status;
};

const Fault kFaults[] = {
    {FaultKind::lost_connection, "a lost connection", db::Status::failure(db::kNotConnected)},
    {FaultKind::missing_table, "a missing table", db::Status::failure(db::kTableMissing)},
    {FaultKind::row_failure, "a row failure", db::Status::failure(db::kValueTooLarge)},
    {FaultKind::file_system, "a file-system failure", db::Status::success()},
    {FaultKind::terminated, "the session ended by the server", db::Status::success()},
};

class FaultSweep : public ::testing::TestWithParam<std::tuple<const SweptHandling*, Backend>> {
 protected:
  FaultSweep() : swept(*std::get<0>(GetParam())), database(std::get<1>(GetParam())) {}
  // A run on the database, emptied of the loader's rows and history first.
  std::unique_ptr<FileHandlingRun> fresh_run() { return fresh_run(swept.files); }
  std::unique_ptr<FileHandlingRun> fresh_run(const Files& files) {
    auto session = database.connect();
    for (const auto& table : schema::required_tables(swept.handling->program)) {
      EXPECT_TRUE(session->execute("delete from " + table, {}).ok()) << table;
    }
    EXPECT_TRUE(session->commit().ok());
    return std::make_unique<FileHandlingRun>(*swept.handling, database.target_text(), files,
                                             swept.batch);
  }
  // The rows a clean load of `files` stores.
  LoadedRows clean_rows(const Files& files) {
    auto run = fresh_run(files);
    run->loop->scan();
    EXPECT_TRUE(fs::is_empty(run->in)) << run->out.text();
    return stored();
  }
  LoadedRows stored() const { return loaded_rows(database.reader(), swept.handling->program); }
  // Every file in the backup directory is in the history once, as loaded.
  void expect_moved_files_loaded(const FileHandlingRun& run) {
    const auto states = history_states(database.reader());
    for (const auto& [name, text] : swept.files) {
      if (!fs::exists(run.backup / name)) continue;
      auto it = states.find(name);
      EXPECT_TRUE(it != states.end() && it->second == std::vector<std::string>{"loaded"})
          << name << " moved without being loaded";
    }
  }

  // Scans again until every file is gone from the input directory, for a
  // bounded time: after a lost connection the server takes a moment to end
  // the old session, whose claims on files hold until then.
  void scan_until_loaded(FileHandlingRun& run) {
    for (int scan = 0; scan < 100; ++scan) {
      run.loop->scan();
      if (fs::is_empty(run.in)) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

  const SweptHandling& swept;
  BackendDatabase database;
};

TEST_P(FaultSweep, EveryFileIsLoadedOnceOrWaitsWhateverCallFails) {
  LoadedRows clean;
  int session_calls = 0, env_calls = 0;
  {
    auto run = fresh_run();
    run->loop->scan();
    ASSERT_TRUE(fs::is_empty(run->in)) << run->out.text();
    clean = stored();
    session_calls = run->session->calls;
    env_calls = run->env.calls;
  }
  for (const Fault& fault : kFaults) {
    const bool terminated = fault.kind == FaultKind::terminated;
    if (terminated && database.backend() != Backend::postgres) continue;
    const int calls = fault.kind == FaultKind::file_system ? env_calls : session_calls;
    for (bool for_ever : {false, true}) {
      // A session ends once.
      if (terminated && for_ever) continue;
      for (int n = 1; n <= calls; ++n) {
        SCOPED_TRACE(std::string(fault.name) + (for_ever ? " from call " : " at call ") +
                     std::to_string(n));
        auto run = fresh_run();
        if (fault.kind == FaultKind::file_system) {
          run->env.fail_call_at = n;
          run->env.fail_for_ever = for_ever;
        } else if (terminated) {
          run->session->act_at = n;
          run->session->act = [&] {
            database.run(
                "select pg_terminate_backend(pid, 10000) from pg_stat_activity "
                "where datname = current_database() and pid <> pg_backend_pid()");
          };
        } else {
          run->session->fail_at = n;
          run->session->fail_for_ever = for_ever;
          run->session->failure = fault.status;
        }
        run->loop->scan();
        expect_moved_files_loaded(*run);
        if (fault.kind != FaultKind::row_failure) {
          EXPECT_GE(rows_missing(clean, stored()), 0) << run->out.text();
        }

        run->session->fail_at = 0;
        run->env.fail_call_at = 0;
        scan_until_loaded(*run);
        for (const auto& [name, text] : swept.files) {
          EXPECT_FALSE(fs::exists(run->in / name)) << name << " still waits\n" << run->out.text();
          EXPECT_EQ(read_file(run->backup / name), text) << name;
        }
        expect_moved_files_loaded(*run);
        EXPECT_EQ(history_states(database.reader()).size(), swept.files.size());
        const LoadedRows rows = stored();
        if (fault.kind == FaultKind::row_failure) {
          // The row that failed is lost, and only it; nothing is stored twice.
          for (const auto& [table, table_rows] : rows) {
            EXPECT_LE(table_rows.size(), clean.at(table).size()) << table;
          }
          EXPECT_LE(row_count(clean) - row_count(rows), 1) << run->out.text();
        } else {
          EXPECT_EQ(rows, clean) << run->out.text();
        }
        if (HasFailure()) return;
      }
    }
  }
}

// Both loads' rows together.
LoadedRows merged(LoadedRows rows, const LoadedRows& more) {
  for (const auto& [table, table_rows] : more) {
    auto& into = rows[table];
    into.insert(into.end(), table_rows.begin(), table_rows.end());
    std::sort(into.begin(), into.end());
  }
  return rows;
}

// Another file takes the first file's name (a new inode, as a drop by
// rename makes) just before each file-system call of a clean load in turn,
// from the listing to the moves: the backup directory then holds only bytes
// that were loaded, and after the next scans the new file has been loaded
// too, each version exactly once, and is the one left in the backup.
TEST_P(FaultSweep, AFileReplacedAtAnyCallWaitsAndTheLoadedBytesAreKept) {
  const auto& [first, first_text] = swept.files.front();
  const Files replaced_files = {{first, swept.replacement}, swept.files.back()};
  const LoadedRows both = clean_rows(swept.files);
  const LoadedRows replacement_alone = clean_rows({{first, swept.replacement}});
  const LoadedRows replacement_first = clean_rows(replaced_files);
  int env_calls = 0;
  {
    auto run = fresh_run();
    run->loop->scan();
    env_calls = run->env.calls;
  }
  for (int n = 1; n <= env_calls; ++n) {
    SCOPED_TRACE("replaced before call " + std::to_string(n));
    auto run = fresh_run();
    run->env.act_at = n;
    run->env.act = [&] {
      const fs::path side = run->in / "drop.tmp";
      write_file(side, swept.replacement);
      fs::rename(side, run->in / first);
    };
    run->loop->scan();
    if (fs::exists(run->backup / first)) {
      const std::string kept = read_file(run->backup / first);
      auto sizes =
          database.reader().rows("select lh_file_size from qx_load_history where lh_file_name = '" +
                                 first + "' and lh_state = 'loaded'");
      EXPECT_TRUE(
          std::any_of(sizes.begin(), sizes.end(),
                      [&](const Row& row) { return row[0] == std::to_string(kept.size()); }))
          << "the backup holds bytes that were never loaded\n"
          << run->out.text();
    }
    scan_until_loaded(*run);
    EXPECT_TRUE(fs::is_empty(run->in)) << run->out.text();
    EXPECT_EQ(read_file(run->backup / first), swept.replacement);
    EXPECT_EQ(read_file(run->backup / swept.files.back().first), swept.files.back().second);
    const auto states = history_states(database.reader());
    const bool first_loaded = states.at(first).size() == 2;
    for (const auto& [name, name_states] : states) {
      for (const auto& state : name_states) EXPECT_EQ(state, "loaded") << name;
    }
    EXPECT_EQ(stored(), first_loaded ? merged(both, replacement_alone) : replacement_first)
        << run->out.text();
    if (HasFailure()) return;
  }
}

std::string case_name(
    const ::testing::TestParamInfo<std::tuple<const SweptHandling*, Backend>>& info) {
  return std::string(std::get<0>(info.param)->name) + "_on_" +
         backend_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Loaders, FaultSweep,
                         ::testing::Combine(::testing::Values(&kPnr, &kPnrBatch, &kMir, &kAir,
                                                              &kAirGroups),
                                            ::testing::Values(Backend::sqlite, Backend::postgres)),
                         case_name);

}  // namespace
}  // namespace qx::testing
