#include "os/move_file.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/faulty_env.h"
#include "support/memory_env.h"

namespace qx::os {
namespace {

using qx::testing::FaultyEnv;
using qx::testing::MemoryEnv;

class MoveFile : public ::testing::Test {
 protected:
  void SetUp() override {
    disk.add_file(in / "X.air", "new contents");
    disk.add_file(backup / "X.air", "old contents");
  }
  std::string read_file(const std::filesystem::path& path) {
    return disk.contents(path).value_or("(no file)");
  }
  MemoryEnv disk;
  const std::filesystem::path in = "/in", backup = "/backup";
  FaultyEnv env{disk};
};

TEST_F(MoveFile, RenameReplacesAFileOfTheSameName) {
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_FALSE(disk.exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, AcrossFileSystemsItCopiesThroughATemporaryThenRemoves) {
  env.rename_crosses_devices = true;
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_EQ(env.copies, 1);
  EXPECT_FALSE(disk.exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
  EXPECT_FALSE(disk.exists(temporary_path(backup / "X.air")));
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
    FaultyEnv faulty{disk};
    faulty.rename_crosses_devices = c.reason != std::string("rename failed");
    c.fault(faulty);
    auto failure = move_file(faulty, in / "X.air", backup / "X.air");
    ASSERT_FALSE(failure.ok());
    EXPECT_NE(failure.reason().find(c.reason), std::string::npos) << failure.reason();
    EXPECT_EQ(read_file(in / "X.air"), "new contents");
    EXPECT_EQ(read_file(backup / "X.air"), c.backup_after);
    EXPECT_FALSE(disk.exists(temporary_path(backup / "X.air")));
  }
}

TEST_F(MoveFile, AMissingBackupDirectoryIsAFailure) {
  ASSERT_TRUE(disk.remove_file(backup / "X.air").ok());
  ASSERT_TRUE(disk.remove_file(backup).ok());
  EXPECT_FALSE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_TRUE(disk.exists(in / "X.air"));
}

}  // namespace
}  // namespace qx::os
