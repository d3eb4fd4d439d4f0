#include "program/directory_check.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qx::program {
namespace {

using qx::testing::TempDir;

TEST(DirectoryCheck, TheInputDirectoryUnderAnyOtherPathIsRefusedAsBackup) {
  TempDir dir;
  auto in = dir.make_dir("in");
  dir.make_dir("other");
  std::filesystem::create_directory_symlink(in, dir.path() / "link");
  os::RealEnv env;
  auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const std::string typed_in = in.string();
  for (std::string backup :
       {in.string(), (dir.path() / "link").string(), (dir.path() / "other" / ".." / "in").string(),
        std::string("in"), std::string("./link/")}) {
    auto refusal = same_directory_refusal(env, typed_in, backup);
    ASSERT_TRUE(refusal.has_value()) << backup;
    EXPECT_EQ(*refusal, "The input directory " + typed_in + " and the backup directory " + backup +
                            " are the same directory; loaded files would never leave it\n");
  }
  // A backup directory inside the input directory, a sibling, or one that
  // does not exist yet is not refused here.
  std::filesystem::create_directory(in / "done");
  for (std::string backup : {(in / "done").string(), std::string("other"), std::string("gone")}) {
    EXPECT_FALSE(same_directory_refusal(env, typed_in, backup).has_value()) << backup;
  }
  std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace qx::program
