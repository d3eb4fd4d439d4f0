#include "driver/directory_scan.h"

#include <gtest/gtest.h>

#include "driver/move_file.h"
#include "support/faulty_env.h"
#include "support/temp_dir.h"

namespace qx::driver {
namespace {

using qx::testing::FaultyEnv;
using qx::testing::read_file;
using qx::testing::TempDir;
using qx::testing::write_file;

std::vector<std::string> names(const std::vector<DirectoryEntry>& files) {
  std::vector<std::string> out;
  for (const auto& f : files) out.push_back(f.name);
  return out;
}

TEST(DirectoryScan, MatchesTheExtensionInAnyCaseAndOrdersByFoldedName) {
  TempDir dir;
  for (const char* name : {"b.AIR", "a.air", "C.Air", "_x.air", "d.airx", "e.air.tmp", "f.txt"}) {
    write_file(dir.path() / name, "x");
  }
  std::filesystem::create_directory(dir.path() / "sub.air");
  RealEnv env;
  std::vector<DirectoryEntry> files;
  ASSERT_TRUE(list_input_files(env, dir.path(), ".air", files).ok());
  // Folded to upper case "_" (0x5F) sorts after the letters.
  EXPECT_EQ(names(files), (std::vector<std::string>{"a.air", "b.AIR", "C.Air", "_x.air"}));
}

TEST(DirectoryScan, AMissingDirectoryIsAFailureWithNoFiles) {
  TempDir dir;
  RealEnv env;
  std::vector<DirectoryEntry> files{DirectoryEntry{}};
  auto result = list_input_files(env, dir.path() / "missing", ".air", files);
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(result.reason().empty());
  EXPECT_TRUE(files.empty());
}

TEST(DirectoryScan, SettleCheckLeavesFreshFiles) {
  DirectoryEntry file;
  auto now = std::chrono::system_clock::now();
  file.modified = now - std::chrono::milliseconds(400);
  EXPECT_FALSE(is_settled(file, now, std::chrono::milliseconds(1000)));
  EXPECT_TRUE(is_settled(file, now, std::chrono::milliseconds(400)));
  EXPECT_TRUE(is_settled(file, now, std::chrono::milliseconds(0)));
  // A clock that went backwards makes the file look fresh, never lost.
  file.modified = now + std::chrono::seconds(5);
  EXPECT_FALSE(is_settled(file, now, std::chrono::milliseconds(1000)));
}

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
  EXPECT_EQ(move_file(env, in / "X.air", backup / "X.air"), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, AcrossFileSystemsItCopiesThenRemoves) {
  env.rename_crosses_devices = true;
  EXPECT_EQ(move_file(env, in / "X.air", backup / "X.air"), std::nullopt);
  EXPECT_EQ(env.copies, 1);
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, EveryFailureLeavesTheInputFileAndSaysWhy) {
  env.fail_rename_at = 1;
  auto failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("rename failed"), std::string::npos);
  EXPECT_EQ(env.copies, 0);  // only a cross-device rename falls back to copying
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));

  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("copy failed"), std::string::npos);
  EXPECT_EQ(read_file(in / "X.air"), "new contents");

  env.fail_copy_always = false;
  env.fail_remove_at = 1;
  failure = move_file(env, in / "X.air", backup / "X.air");
  ASSERT_TRUE(failure.has_value());
  EXPECT_NE(failure->find("could not be removed"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
  EXPECT_EQ(read_file(backup / "X.air"), "new contents");
}

TEST_F(MoveFile, AMissingBackupDirectoryIsAFailure) {
  std::filesystem::remove_all(backup);
  EXPECT_TRUE(move_file(env, in / "X.air", backup / "X.air").has_value());
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
}

}  // namespace
}  // namespace qx::driver
