#include "program/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace qx::program {
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
  EXPECT_FALSE(line.quiet_idle);
  EXPECT_TRUE(parse({"--quiet-idle"}).quiet_idle);
}

TEST(CommandLine, ValuedOptionsTakeTheirValuesAndUnits) {
  auto line = parse({"--max-file-size=2M", "--max-attempts=5", "--db-timeout=7", "--check",
                     "--instance=a:1", "--password-file=/p", "--failed-dir=/f"});
  EXPECT_TRUE(line.error.empty()) << line.error;
  EXPECT_EQ(line.max_file_size, 2u << 20);
  EXPECT_EQ(line.max_attempts, 5);
  EXPECT_EQ(line.db_timeout.count(), 7);
  EXPECT_TRUE(line.check);
  EXPECT_EQ(line.instance, "a:1");
  EXPECT_EQ(line.password_file, "/p");
  EXPECT_EQ(line.failed_dir, "/f");
  EXPECT_EQ(parse({"--max-file-size=512"}).max_file_size, 512u);
  EXPECT_EQ(parse({"a"}).max_file_size, kDefaultMaxFileSize);
  // The batch limits share the kinds of the options above.
  auto batch = parse({"--batch-files=8", "--batch-bytes=3K", "--batch-ms=0"}).batch;
  EXPECT_EQ(batch.files, 8);
  EXPECT_EQ(batch.bytes, 3u << 10);
  EXPECT_EQ(batch.time.count(), 0);
  EXPECT_EQ(parse({"a"}).batch.files, scan::kDefaultBatchFiles);
}

TEST(CommandLine, BadOptionsAreErrors) {
  EXPECT_FALSE(parse({"--max-file-size=0"}).error.empty());
  EXPECT_FALSE(parse({"--max-file-size=3X"}).error.empty());
  EXPECT_FALSE(parse({"--max-attempts=0"}).error.empty());
  EXPECT_FALSE(parse({"--batch-files=0"}).error.empty());
  EXPECT_FALSE(parse({"--instance="}).error.empty());
  EXPECT_FALSE(parse({"--once=yes"}).error.empty());
  EXPECT_FALSE(parse({"--settle-ms=abc"}).error.empty());
  EXPECT_FALSE(parse({"--settle-ms=-5"}).error.empty());
  EXPECT_FALSE(parse({"--settle-ms="}).error.empty());
  // The first bad option is the one named.
  EXPECT_EQ(parse({"--verbose", "--once=yes"}).error, "unknown option --verbose");
  // A single dash is an ordinary argument (a password may begin with one).
  EXPECT_EQ(parse({"-x"}).positional, std::vector<std::string>{"-x"});
}

}  // namespace
}  // namespace qx::program
