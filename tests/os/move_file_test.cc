#include "os/move_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/faulty_env.h"
#include "support/temp_dir.h"

namespace qx::os {
namespace {

using qx::testing::FaultyEnv;
using qx::testing::read_file;
using qx::testing::TempDir;
using qx::testing::write_file;

class MoveFile : public ::testing::Test {
 protected:
  void SetUp() override {
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
    write_file(in / "X.air", "new contents");
    write_file(backup / "X.air", "old contents");
  }
  TempDir dir;
  std::filesystem::path in, backup;
  FaultyEnv env;
};

TEST_F(MoveFile, RenameReplacesAFileOfTheSameName) {
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, AcrossFileSystemsItCopiesThroughATemporaryThenRemoves) {
  env.rename_crosses_devices = true;
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_EQ(env.copies, 1);
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
  EXPECT_FALSE(std::filesystem::exists(temporary_path(backup / "X.air")));
}

TEST_F(MoveFile, EveryFailureLeavesTheInputFileAndSaysWhichStepFailed) {
  struct Case {
    std::function<void(FaultyEnv&)> fault;
    const char* reason;
    const char* backup_after;
  };
  const Case cases[] = {
      {[](FaultyEnv& e) { e.fail_rename_at = 1; }, "rename failed", "old contents"},
      {[](FaultyEnv& e) { e.fail_copy_always = true; }, "copy failed", "old contents"},
      {[](FaultyEnv& e) { e.fail_call_at = 3; }, "flush failed", "old contents"},
      {[](FaultyEnv& e) { e.fail_call_at = 4; }, "rename into place failed", "old contents"},
      {[](FaultyEnv& e) { e.fail_remove_at = 1; }, "could not be removed", "new contents"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    SetUp();
    FaultyEnv faulty;
    faulty.rename_crosses_devices = c.reason != std::string("rename failed");
    c.fault(faulty);
    auto failure = move_file(faulty, in / "X.air", backup / "X.air");
    ASSERT_FALSE(failure.ok());
    EXPECT_NE(failure.reason().find(c.reason), std::string::npos) << failure.reason();
    EXPECT_EQ(read_file(in / "X.air"), "new contents");
    EXPECT_EQ(read_file(backup / "X.air"), c.backup_after);
    EXPECT_FALSE(std::filesystem::exists(temporary_path(backup / "X.air")));
  }
}

TEST_F(MoveFile, AMissingBackupDirectoryIsAFailure) {
  std::filesystem::remove_all(backup);
  EXPECT_FALSE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
}

}  // namespace
}  // namespace qx::os
