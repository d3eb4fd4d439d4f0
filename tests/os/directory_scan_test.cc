#include "os/directory_scan.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qx::os {
namespace {

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

}  // namespace
}  // namespace qx::os
