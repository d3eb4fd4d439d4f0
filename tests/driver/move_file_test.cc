#include "driver/move_file.h"

#include <gtest/gtest.h>

#include "support/faulty_env.h"
#include "support/temp_dir.h"

namespace qx::driver {
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

TEST_F(MoveFile, AcrossFileSystemsItCopiesThenRemoves) {
  env.rename_crosses_devices = true;
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_EQ(env.copies, 1);
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, EveryFailureLeavesTheInputFileAndSaysWhy) {
  env.fail_rename_at = 1;
  auto failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_FALSE(failure.ok());
  EXPECT_NE(failure.reason().find("rename failed"), std::string::npos);
  EXPECT_EQ(env.copies, 0);  // only a cross-device rename falls back to copying
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));

  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_FALSE(failure.ok());
  EXPECT_NE(failure.reason().find("copy failed"), std::string::npos);
  EXPECT_EQ(read_file(in / "X.air"), "new contents");

  env.fail_copy_always = false;
  env.fail_remove_at = 1;
  failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_FALSE(failure.ok());
  EXPECT_NE(failure.reason().find("could not be removed"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, AMissingBackupDirectoryIsAFailure) {
  std::filesystem::remove_all(backup);
  EXPECT_FALSE(move_file(env, in / "X.air", backup / "X.air").ok());
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
}

}  // namespace
}  // namespace qx::driver
