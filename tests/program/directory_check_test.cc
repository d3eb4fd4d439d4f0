#include "program/directory_check.h"

#include <gtest/gtest.h>

#include "support/memory_env.h"

namespace qx::program {
namespace {

TEST(DirectoryCheck, TheInputDirectoryUnderAnyOtherPathIsRefusedAsBackup) {
  qx::testing::MemoryEnv env;
  const std::filesystem::path dir = "/srv/qx";
  const auto in = dir / "in";
  env.add_directory(in);
  env.add_directory(dir / "other");
  env.add_symlink(dir / "link", in);
  env.current_dir = dir;
  const std::string typed_in = in.string();
  for (std::string backup :
       {in.string(), (dir / "link").string(), (dir / "other" / ".." / "in").string(),
        std::string("in"), std::string("./link/")}) {
    auto refusal = same_directory_refusal(env, typed_in, backup);
    ASSERT_TRUE(refusal.has_value()) << backup;
    EXPECT_EQ(*refusal, "The input directory " + typed_in + " and the backup directory " + backup +
                            " are the same directory; loaded files would never leave it\n");
  }
  // A backup directory inside the input directory, a sibling, or one that
  // does not exist yet is not refused here.
  env.add_directory(in / "done");
  for (std::string backup : {(in / "done").string(), std::string("other"), std::string("gone")}) {
    EXPECT_FALSE(same_directory_refusal(env, typed_in, backup).has_value()) << backup;
  }
}

TEST(DirectoryCheck, ADirectoryTypedAsAnEmptyNameIsRefused) {
  EXPECT_EQ(empty_directory_refusal("", "out"), "The input directory is given as an empty name\n");
  EXPECT_EQ(empty_directory_refusal("in", ""), "The backup directory is given as an empty name\n");
  EXPECT_FALSE(empty_directory_refusal("in", "out").has_value());
}

}  // namespace
}  // namespace qx::program
