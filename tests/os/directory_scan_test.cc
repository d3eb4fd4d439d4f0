#include "os/directory_scan.h"

#include <gtest/gtest.h>

#include "support/memory_env.h"

namespace qx::os {
namespace {

using qx::testing::MemoryEnv;

std::vector<std::string> names(const std::vector<DirectoryEntry>& files) {
  std::vector<std::string> out;
  for (const auto& f : files) out.push_back(f.name);
  return out;
}

TEST(DirectoryScan, MatchesTheExtensionInAnyCaseAndOrdersByFoldedName) {
  MemoryEnv env;
  const std::filesystem::path dir = "/in";
  for (const char* name : {"b.AIR", "a.air", "C.Air", "_x.air", "d.airx", "e.air.tmp", "f.txt"}) {
    env.add_file(dir / name, "x");
  }
  env.add_directory(dir / "sub.air");
  std::vector<DirectoryEntry> files;
  ASSERT_TRUE(list_input_files(env, dir, ".air", files).ok());
  // Folded to upper case "_" (0x5F) sorts after the letters.
  EXPECT_EQ(names(files), (std::vector<std::string>{"a.air", "b.AIR", "C.Air", "_x.air"}));
}

TEST(DirectoryScan, AMissingDirectoryIsAFailureWithNoFiles) {
  MemoryEnv env;
  env.add_directory("/in");
  std::vector<DirectoryEntry> files{DirectoryEntry{}};
  auto result = list_input_files(env, "/in/missing", ".air", files);
  EXPECT_FALSE(result.ok());
  EXPECT_FALSE(result.reason().empty());
  EXPECT_TRUE(files.empty());
}

}  // namespace
}  // namespace qx::os
