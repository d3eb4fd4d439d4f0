// One file's handling (or, for PNR, a batch of two files with a third
// read, cut and converted while it commits on PostgreSQL, and for AIR
// groups of lines across the end of one file), the same classes the
// programs run, killed before each of its calls in turn: a forked child
// scans with a file system and a database session that end the process at
// call N (counted over both), and a second child then scans cleanly, as a
// restarted loader would. For every N each file must end up in the backup
// directory once and whole, its rows stored once, its load history one
// loaded row. The backup directory lies
// "on another file system", so that the move's copy, flushes, rename and
// removal are each a point of death too.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "corvane/corvane_file_handler.h"
#include "crash/crash_database.h"
#include "crash/exactly_once.h"
#include "db/make_session.h"
#include "db/target.h"
#include "generator/sample_format.h"
#include "history/load_history.h"
#include "scan/scan_loop.h"
#include "support/death_point.h"
#include "support/faulty_env.h"
#include "support/faulty_session.h"
#include "support/temp_dir.h"
#include "tarvo/tarvo_file_handler.h"

namespace qx::crash {
namespace {

namespace fs = std::filesystem;
using MakeHandler =
    std::function<std::unique_ptr<scan::FileHandler>(db::Session&, os::Console, scan::BatchLimits)>;

struct FormatCase {
  const char* program;
  const char* format;  // the generator's format word
  const char* pattern;
  generator::FileOptions file;
  MakeHandler make_handler;
  const char* name;
  int files = 1;        // loaded in batches when more than one
  int lines = 1;        // AIR lines per commit
  int batch_files = 0;  // files per batch; 0: all of them
  scan::BatchLimits limits() const {
    return {.files = batch_files > 0 ? batch_files : files, .lines = lines};
  }
};

std::unique_ptr<scan::FileHandler> make_tarvo_files(db::Session& session, os::Console console,
                                                    scan::BatchLimits) {
  return std::make_unique<tarvo::TarvoFileHandler>(session, false, console);
}

std::unique_ptr<scan::FileHandler> make_corvane_files(db::Session& session, os::Console console,
                                                      scan::BatchLimits batch) {
  return std::make_unique<corvane::CorvaneFileHandler>(session, corvane::AirBuild::base, console,
                                                       batch);
}

const FormatCase kAir{"corvane", "air", "*.air", {8, 2, false}, make_corvane_files, "air"};
// Two files in groups of five lines: one group holds the end of the first
// file and the start of the second.
const FormatCase kAirGroups{"corvane",          "air",        "*.air", {4, 2, false},
                            make_corvane_files, "air_groups", 2,       5};
const FormatCase kPnr{"tarvo", "pnr", "*.PNR", {12, 1, false}, make_tarvo_files, "pnr"};
// A batch of two files, and on PostgreSQL a third read, cut and converted
// while it commits.
const FormatCase kPnrBatch{"tarvo", "pnr", "*.PNR", {6, 1, false}, make_tarvo_files, "pnr_batch",
                           3,       1,     2};

// Bounds the sweep should a handling never finish.
constexpr int kMostCalls = 400;

using Param = std::tuple<const FormatCase*, Backend>;

class StepKills : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    for (auto* path : {&pristine, &in, &backup}) fs::create_directory(*path);
    const FormatCase& format = *std::get<0>(GetParam());
    const auto* sample = generator::find_sample_format(format.format);
    for (int n = 1; n <= format.files; ++n) {
      names.push_back(std::string(sample->file_prefix) + "00000" + std::to_string(n) + "." +
                      std::string(sample->extension));
      testing::write_file(pristine / names.back(), sample->generate(format.file, 6 + n));
    }
  }
  // A fresh start: the files dropped, the backup directory empty.
  void drop_file() {
    for (const auto& old : file_names(backup)) fs::remove(backup / old);
    for (const auto& name : names) fs::copy_file(pristine / name, in / name);
  }
  // Runs one scan in a child process that dies at call `die_at` (0: none);
  // returns its exit status, -1 when a signal ended it. What it printed is
  // in `scan_output`.
  int scan_in_child(const CrashDatabase& database, int die_at) {
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
      const FormatCase& format = *std::get<0>(GetParam());
      testing::DeathPoint death{die_at};
      testing::FaultyEnv env;
      env.rename_crosses_devices = true;
      env.death = &death;
      testing::FaultySession session(db::make_session(db::parse_target(database.target(), "")));
      session.death = &death;
      session.work_first = true;
      std::FILE* out = std::fopen(scan_output.c_str(), "w");
      auto handler = format.make_handler(session, out, format.limits());
      history::LoadHistory history(session, format.program, "sweep");
      scan::ScanLoop loop(
          env, *handler,
          {in.string(), backup.string(), format.pattern, std::chrono::milliseconds(0),
           std::chrono::milliseconds(0), true, false, format.limits()},
          out, &history);
      loop.scan();
      std::fflush(out);
      ::_exit(0);
    }
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  testing::TempDir dir;
  fs::path pristine = dir.path() / "pristine", in = dir.path() / "in",
           backup = dir.path() / "backup";
  fs::path scan_output = dir.path() / "scan.txt";
  std::vector<std::string> names;
};

TEST_P(StepKills, AFileKilledBeforeAnyOfItsCallsIsStoredOnceAfterTheRestart) {
  const auto& [format, backend] = GetParam();
  SCOPED_TRACE(std::string(format->program) + " on " + std::string(backend_name(backend)));
  CrashDatabase clean(backend, dir.path() / "clean.db");
  drop_file();
  ASSERT_EQ(scan_in_child(clean, 0), 0) << testing::read_file(scan_output);
  ASSERT_TRUE(fs::exists(backup / names.front())) << testing::read_file(scan_output);

  const RowSnapshot clean_rows = snapshot_rows(clean.reader(), format->program);
  CrashDatabase database(backend, dir.path() / "crash.db");
  Tally all;
  int points = 0;
  for (int die_at = 1; die_at <= kMostCalls; ++die_at) {
    database.clear();
    drop_file();
    int killed = scan_in_child(database, die_at);
    if (killed == 0) break;  // the handling made fewer calls: every point was swept
    ASSERT_EQ(killed, testing::kDeathExitStatus) << "call " << die_at;
    ++points;
    ASSERT_EQ(scan_in_child(database, 0), 0) << "restart after call " << die_at;
    Tally tally;
    check_files(pristine, in, backup, tally);
    check_rows(snapshot_rows(database.reader(), format->program), clean_rows, tally);
    check_history(database.reader(), names, tally);
    all.duplicates += tally.duplicates;
    all.losses += tally.losses;
    EXPECT_TRUE(tally.clean()) << "killed before call " << die_at << ": " << tally.report()
                               << "\nthe restart printed:\n"
                               << testing::read_file(scan_output);
  }
  EXPECT_GT(points, 5);
  EXPECT_LT(points, kMostCalls);
  std::cout << "[crash] " << format->name << " " << backend_name(backend) << " step kills: kills "
            << points << ", files " << points * format->files << ", duplicates " << all.duplicates
            << ", losses " << all.losses << "\n";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, StepKills,
    ::testing::Combine(::testing::Values(&kAir, &kAirGroups, &kPnr, &kPnrBatch),
                       ::testing::Values(Backend::sqlite, Backend::postgresql)),
    [](const ::testing::TestParamInfo<Param>& info) {
      return std::string(std::get<0>(info.param)->name) + "_" +
             std::string(backend_name(std::get<1>(info.param)));
    });

}  // namespace
}  // namespace qx::crash
