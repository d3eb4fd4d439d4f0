// Several instances of one loader watching one input directory and one
// database, started together, share a backlog between them: every file is
// loaded exactly once (the rows are those of one instance loading it alone,
// keys aside), the history holds one loaded row per file, and every file
// reaches the backup directory once, whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "db/backend_database.h"
#include "generator/backlog.h"
#include "support/loaded_rows.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

struct LoaderProgram {
  const char* in_build;  // "tarvo/tarvo"
  const char* program;   // its name in the schema and the history
  const char* format;    // the generator's format
  int files;
};

constexpr LoaderProgram kPrograms[] = {
    {"corvane/corvane", "corvane", "air", 30},
    {"tarvo/tarvo", "tarvo", "pnr", 200},
    {"meridon_full/meridon_full", "meridon_full", "mir", 200},
};

constexpr int kInstances = 4;
// Time for the instances to clear the backlog; one pause between scans more
// than a single scan needs.
constexpr auto kBacklogLimit = 150s;

std::vector<std::string> names_in(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

class InstancesTest : public ::testing::TestWithParam<std::tuple<LoaderProgram, Backend>> {
 protected:
  // The backlog, written into `dir/NAME` (made here).
  std::vector<generator::WrittenFile> backlog(const std::string& name) {
    const LoaderProgram& program = std::get<0>(GetParam());
    const generator::BacklogOptions options{
        .count = program.files, .seed = 77, .file = {.records = 12, .bookings = 2}};
    return generator::write_backlog(*generator::find_sample_format(program.format), options,
                                    dir.make_dir(name));
  }
  std::vector<std::string> arguments(const std::string& target, const std::string& name) {
    return {target, "-", (dir.path() / (name + "_in")).string(),
            dir.make_dir(name + "_backup").string()};
  }

  TempDir dir;
};

TEST_P(InstancesTest, ShareABacklogAndLoadEveryFileExactlyOnce) {
  const auto& [program, backend] = GetParam();
  BackendDatabase alone(backend);
  backlog("alone_in");
  std::vector<std::string> once_args = {"--once", "--settle-ms=0"};
  for (auto& arg : arguments(alone.target_text(), "alone")) once_args.push_back(arg);
  ProgramRun single = run_built_program(program.in_build, once_args, dir.path());
  ASSERT_EQ(single.exit_code, 0) << single.output;
  ASSERT_TRUE(names_in(dir.path() / "alone_in").empty()) << single.output;

  BackendDatabase shared(backend);
  const auto files = backlog("shared_in");
  std::vector<std::unique_ptr<BackgroundProgram>> instances;
  for (int i = 0; i < kInstances; ++i) {
    std::vector<std::string> args = {"--settle-ms=0", "--instance=i" + std::to_string(i)};
    for (auto& arg : arguments(shared.target_text(), "shared")) args.push_back(arg);
    instances.push_back(std::make_unique<BackgroundProgram>(
        program.in_build, args, dir.path(),
        dir.path() / ("instance" + std::to_string(i) + ".txt")));
  }
  const auto deadline = std::chrono::steady_clock::now() + kBacklogLimit;
  while (!names_in(dir.path() / "shared_in").empty() &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  for (int i = 0; i < kInstances; ++i) {
    EXPECT_EQ(instances[i]->stop(30s), 0)
        << read_file(dir.path() / ("instance" + std::to_string(i) + ".txt"));
  }
  ASSERT_TRUE(names_in(dir.path() / "shared_in").empty()) << "backlog not cleared in time";

  EXPECT_EQ(loaded_rows(shared.reader(), program.program),
            loaded_rows(alone.reader(), program.program));
  const auto states = history_states(shared.reader());
  EXPECT_EQ(states.size(), files.size());
  for (const auto& [name, file_states] : states) {
    EXPECT_EQ(file_states, std::vector<std::string>{"loaded"}) << name;
  }
  EXPECT_EQ(names_in(dir.path() / "shared_backup").size(), files.size());
  for (const auto& file : files) {
    const fs::path name = file.path.filename();
    ASSERT_TRUE(fs::exists(dir.path() / "shared_backup" / name)) << name;
    EXPECT_EQ(read_file(dir.path() / "shared_backup" / name),
              read_file(dir.path() / "alone_backup" / name))
        << name;
  }
}

std::string case_name(const ::testing::TestParamInfo<std::tuple<LoaderProgram, Backend>>& info) {
  return std::string(std::get<0>(info.param).program) + "_on_" +
         backend_name(std::get<1>(info.param));
}

INSTANTIATE_TEST_SUITE_P(Loaders, InstancesTest,
                         ::testing::Combine(::testing::ValuesIn(kPrograms),
                                            ::testing::Values(Backend::sqlite, Backend::postgres)),
                         case_name);

}  // namespace
}  // namespace qx::testing
