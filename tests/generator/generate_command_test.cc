// The qx_generate command line: every option reaches the backlog settings,
// and anything malformed is refused with a reason instead of being guessed.
#include "generator/generate_command.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace qx::generator {
namespace {

TEST(GenerateCommand, ReadsEveryOptionInBothForms) {
  const auto command = parse_generate_command({"air", "--out", "in dir", "--count=12", "--records",
                                               "80", "--bookings=4", "--seed",
                                               "18446744073709551615", "--first", "7", "--crlf"});
  EXPECT_EQ(command.format, find_sample_format("air"));
  EXPECT_EQ(command.out, "in dir");
  EXPECT_EQ(command.backlog.count, 12);
  EXPECT_EQ(command.backlog.first_number, 7);
  EXPECT_EQ(command.backlog.seed, 18446744073709551615ull);
  EXPECT_EQ(command.backlog.file.records, 80);
  EXPECT_EQ(command.backlog.file.bookings, 4);
  EXPECT_TRUE(command.backlog.file.crlf);

  const auto defaults = parse_generate_command({"air", "--out=x"});
  EXPECT_EQ(defaults.backlog.count, 1);
  EXPECT_EQ(defaults.backlog.first_number, 1);
  EXPECT_FALSE(defaults.backlog.file.crlf);
}

TEST(GenerateCommand, RefusesMalformedCommands) {
  const std::vector<std::vector<std::string>> refused = {
      {},
      {"pnr-typo", "--out", "x"},
      {"air"},
      {"air", "--out"},
      {"air", "--out", "x", "--count", "0"},
      {"air", "--out", "x", "--count", "12x"},
      {"air", "--out", "x", "--count", "-1"},
      {"air", "--out", "x", "--records", ""},
      {"air", "--out", "x", "--seed", "18446744073709551616"},
      {"air", "--out", "x", "--records", "2", "--bookings", "3"},
      {"air", "--out", "x", "--first", "999999", "--count", "2"},
      {"air", "--out", "x", "--colour", "red"},
      {"air", "--out", "x", "stray"},
  };
  for (const auto& args : refused) {
    std::string joined;
    for (const auto& arg : args) joined += arg + " ";
    EXPECT_THROW(parse_generate_command(args), std::invalid_argument) << joined;
  }
}

}  // namespace
}  // namespace qx::generator
