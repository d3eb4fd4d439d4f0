#include "program/database_password.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace qx::program {
namespace {

// The password file wins over the environment, the environment over the
// argument, and "-" leaves the password to the database client.
TEST(DatabasePassword, ComesFromTheFileTheEnvironmentOrTheArgumentInThatOrder) {
  qx::testing::TempDir dir;
  qx::testing::write_file(dir.path() / "pw", "from file\r\nsecond line\n");
  CommandLine line;
  line.positional = {"u@db", "argument", "in", "out"};
  EXPECT_EQ(choose_password(line, nullptr).password, "argument");
  EXPECT_EQ(choose_password(line, "from environment").password, "from environment");
  line.password_file = (dir.path() / "pw").string();
  EXPECT_EQ(choose_password(line, "from environment").password, "from file");

  line.password_file.clear();
  line.positional[1] = "-";
  EXPECT_EQ(choose_password(line, nullptr).password, "");
  EXPECT_TRUE(choose_password(line, nullptr).error.empty());

  line.password_file = (dir.path() / "missing").string();
  PasswordChoice unreadable = choose_password(line, nullptr);
  EXPECT_NE(unreadable.error.find("Cannot read the password file"), std::string::npos);
}

}  // namespace
}  // namespace qx::program
