// Each loader program, on SQLite and on PostgreSQL, loading a backlog while
// it is killed (SIGKILL) at random moments and started again, and finally
// run once until the input directory is empty: every file must then be in
// the backup directory once and whole, and the tables must hold exactly the
// rows of one clean load of the same files. QX_CRASH_KILLS raises the number
// of kills (25 by default), QX_CRASH_SEED repeats a run.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "crash/crash_database.h"
#include "crash/exactly_once.h"
#include "generator/backlog.h"
#include "support/live_program.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::crash {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct LoaderCase {
  const char* program;  // as the load history and the schema name it
  const char* in_build;
  const char* format;  // the generator's format word
  int files_per_batch;
  int records;
  int bookings;
};

constexpr LoaderCase kLoaders[] = {
    {"corvane", "corvane/corvane", "air", 12, 40, 4},
    {"tarvo", "tarvo/tarvo", "pnr", 35, 30, 1},
    {"meridon_full", "meridon_full/meridon_full", "mir", 35, 30, 1},
};

using Param = std::tuple<LoaderCase, Backend>;

class RandomKills : public ::testing::TestWithParam<Param> {
 protected:
  void SetUp() override {
    for (auto* path : {&pristine, &in, &backup, &work, &clean_in, &clean_backup}) {
      fs::create_directory(*path);
    }
  }
  // Generates the next batch of files into the pristine directory and
  // drops a copy of each into the input directory.
  void drop_batch(std::uint64_t seed) {
    const LoaderCase& loader = std::get<0>(GetParam());
    generator::BacklogOptions options;
    options.count = loader.files_per_batch;
    options.first_number = batches * loader.files_per_batch + 1;
    options.seed = seed + static_cast<std::uint64_t>(batches);
    options.file = {loader.records, loader.bookings, false};
    for (const auto& file : generator::write_backlog(*generator::find_sample_format(loader.format),
                                                     options, pristine)) {
      fs::copy_file(file.path, in / file.path.filename());
    }
    ++batches;
  }
  std::vector<std::string> arguments(const CrashDatabase& database, const fs::path& input,
                                     const fs::path& output, bool once) const {
    std::vector<std::string> args{database.target(), "-", input.string(), output.string(),
                                  "--settle-ms=0"};
    if (once) args.push_back("--once");
    return args;
  }

  testing::TempDir dir;
  fs::path pristine = dir.path() / "pristine", in = dir.path() / "in",
           backup = dir.path() / "backup", work = dir.path() / "work",
           clean_in = dir.path() / "clean_in", clean_backup = dir.path() / "clean_backup";
  int batches = 0;
};

TEST_P(RandomKills, EveryFileIsLoadedOnceWhateverMomentTheLoaderIsKilledAt) {
  const auto& [loader, backend] = GetParam();
  const std::uint64_t seed = crash_seed();
  const int wanted_kills = count_from_environment("QX_CRASH_KILLS", 25);
  const std::string label = std::string(loader.program) + " on " +
                            std::string(backend_name(backend)) + ", seed " + std::to_string(seed) +
                            " (QX_CRASH_SEED)";
  SCOPED_TRACE(label);
  std::mt19937_64 random(seed);
  CrashDatabase database(backend, dir.path() / "crash.db");
  drop_batch(seed);

  // The moment of each kill is drawn after the first scan line (the loader
  // is connected and loading), over about three files' time as measured so
  // far, so that kills fall on every step of a file's load and move; one in
  // five falls in the start-up instead (the connect, an SQLite file being
  // made).
  double ms_per_file = 50;
  double loading_ms = 0;
  int files_done = 0;
  int kills = 0;
  // Where the kills fell that matter most: in the middle of a file loaded
  // line by line, and between a file's commit and its move.
  int mid_file = 0, before_move = 0;
  for (; kills < wanted_kills; ++kills) {
    if (file_names(in).empty()) drop_batch(seed);
    const std::size_t waiting = file_names(in).size();
    testing::LiveProgram program(loader.in_build, arguments(database, in, backup, false), work);
    const bool in_start_up = std::uniform_int_distribution<int>(0, 4)(random) == 0;
    if (in_start_up) {
      program.run_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 80)(random)));
    } else {
      ASSERT_TRUE(program.wait_for_output("Scanning Directory ", 20s)) << program.output();
      const auto delay = std::chrono::duration<double, std::milli>(
          std::uniform_real_distribution<double>(0, 3 * ms_per_file)(random));
      program.run_for(std::chrono::duration_cast<std::chrono::microseconds>(delay));
      loading_ms += delay.count();
    }
    ASSERT_FALSE(program.exited()) << "the loader ended by itself:\n" << program.output();
    program.stop(SIGKILL);
    try {
      for (const auto& row :
           database.reader().rows("select lh_file_name, lh_state from qx_load_history")) {
        if (row[1] == "loading") ++mid_file;
        if (row[1] == "loaded" && fs::exists(in / *row[0])) ++before_move;
      }
    } catch (const std::exception&) {
      // A loader killed in its start-up may not have made the database yet.
    }
    if (!in_start_up) {
      files_done += static_cast<int>(waiting - file_names(in).size());
      // Files loaded in batches take a fraction of a millisecond each.
      ms_per_file = std::clamp(loading_ms / std::max(files_done, 1), 0.2, 2000.0);
    }
  }

  for (int run = 0; run < 5 && !file_names(in).empty(); ++run) {
    auto once =
        testing::run_built_program(loader.in_build, arguments(database, in, backup, true), work);
    EXPECT_EQ(once.exit_code, 0) << once.output;
  }

  CrashDatabase clean(backend, dir.path() / "clean.db");
  copy_files(pristine, clean_in);
  auto reference = testing::run_built_program(loader.in_build,
                                              arguments(clean, clean_in, clean_backup, true), work);
  ASSERT_EQ(reference.exit_code, 0) << reference.output;
  ASSERT_TRUE(file_names(clean_in).empty()) << "the clean load left files:\n" << reference.output;

  Tally tally;
  check_files(pristine, in, backup, tally);
  check_rows(snapshot_rows(database.reader(), loader.program),
             snapshot_rows(clean.reader(), loader.program), tally);
  check_history(database.reader(), file_names(pristine), tally);
  std::cout << "[crash] " << loader.program << " " << backend_name(backend) << ": kills " << kills
            << " (" << mid_file << " mid-file, " << before_move << " before a move), "
            << tally.summary() << ", seed " << seed << "\n";
  EXPECT_TRUE(tally.clean()) << tally.report();
}

INSTANTIATE_TEST_SUITE_P(Loaders, RandomKills,
                         ::testing::Combine(::testing::ValuesIn(kLoaders),
                                            ::testing::Values(Backend::sqlite,
                                                              Backend::postgresql)),
                         [](const ::testing::TestParamInfo<Param>& info) {
                           return std::string(std::get<0>(info.param).program) + "_" +
                                  std::string(backend_name(std::get<1>(info.param)));
                         });

}  // namespace
}  // namespace qx::crash
