#include "driver/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx::driver {
namespace {

CommandLine parse(std::vector<const char*> args) {
  args.insert(args.begin(), "loader");
  return parse_command_line(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, OptionsAreTakenOutBeforePositionalArgumentsAreCounted) {
  auto line = parse({"--once", "u@db.sqlite", "pw", "--settle-ms=0", "in", "out", "extra"});
  EXPECT_TRUE(line.once);
  EXPECT_EQ(line.settle.count(), 0);
  EXPECT_EQ(line.positional, (std::vector<std::string>{"u@db.sqlite", "pw", "in", "out", "extra"}));
  EXPECT_TRUE(line.error.empty());
}

TEST(CommandLine, DefaultsAndFlags) {
  auto line = parse({"a", "b"});
  EXPECT_FALSE(line.once);
  EXPECT_EQ(line.settle, kDefaultSettle);
  EXPECT_TRUE(parse({"--help"}).help);
  EXPECT_TRUE(parse({"--version"}).version);
}

TEST(CommandLine, BadOptionsAreErrors) {
  EXPECT_FALSE(parse({"--settle-ms=abc"}).error.empty());
  EXPECT_FALSE(parse({"--settle-ms=-5"}).error.empty());
  EXPECT_FALSE(parse({"--settle-ms="}).error.empty());
  EXPECT_FALSE(parse({"--verbose"}).error.empty());
  // A single dash is an ordinary argument (a password may begin with one).
  EXPECT_EQ(parse({"-x"}).positional, std::vector<std::string>{"-x"});
}

}  // namespace
}  // namespace qx::driver
