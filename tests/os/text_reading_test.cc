#include "os/text_reading.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx::os {
namespace {

std::vector<std::string> air_lines(std::string contents) {
  end_at_ctrl_z(contents);
  fold_crlf(contents);
  std::vector<std::string> lines;
  for (auto line : split_at_line_feeds(contents)) lines.emplace_back(line);
  return lines;
}

using Lines = std::vector<std::string>;

TEST(TextReading, LineEndsAreRemovedOnlyWhereTheyAre) {
  EXPECT_EQ(air_lines("A;B\nC;D\n"), (Lines{"A;B", "C;D"}));
  // The last line keeps its last character when no line end follows it.
  EXPECT_EQ(air_lines("A;B\nC;D"), (Lines{"A;B", "C;D"}));
  EXPECT_EQ(air_lines("X"), (Lines{"X"}));
  EXPECT_EQ(air_lines(""), Lines{});
  EXPECT_EQ(air_lines("\n\nA\n"), (Lines{"", "", "A"}));
}

TEST(TextReading, CarriageReturnLineFeedReadsAsOneLineFeed) {
  EXPECT_EQ(air_lines("A;B\r\nC\r\n"), (Lines{"A;B", "C"}));
  // A lone carriage return is line content; a CR CR LF keeps the first CR.
  EXPECT_EQ(air_lines("A\rB\nC\r\r\n"), (Lines{"A\rB", "C\r"}));
  EXPECT_EQ(air_lines("A\r"), (Lines{"A\r"}));
}

TEST(TextReading, ByteTwentySixEndsTheFile) {
  EXPECT_EQ(air_lines("A\nB\x1a"
                      "C\nD\n"),
            (Lines{"A", "B"}));
  EXPECT_EQ(air_lines("\x1a"
                      "A\n"),
            Lines{});
  // A CR before the end mark has no line feed after it any more.
  EXPECT_EQ(air_lines("A\r\x1a\n"), (Lines{"A\r"}));
}

TEST(TextReading, NulBytesBecomeBlanksAndTheirLinesAreNamedOnce) {
  std::string text("A\0\0B\nC\nD\0\n", 10);
  EXPECT_EQ(blank_nul_bytes(text, '\n'), (std::vector<std::size_t>{1, 3}));
  EXPECT_EQ(text, "A  B\nC\nD \n");
  std::string clean = "no nul\n";
  EXPECT_TRUE(blank_nul_bytes(clean, '\n').empty());
  // Lines counted by the line end asked for.
  std::string records("M1\rM2\0\rM3", 9);
  EXPECT_EQ(blank_nul_bytes(records, '\r'), (std::vector<std::size_t>{2}));
}

TEST(TextReading, BytesAboveAsciiPassThroughUnchanged) {
  std::string contents = "M\xdcLLER;\xe9t\xe9\n";
  EXPECT_EQ(air_lines(contents), (Lines{"M\xdcLLER;\xe9t\xe9"}));
}

std::vector<std::string> records(std::string contents) {
  end_at_ctrl_z(contents);
  std::vector<std::string> lines;
  for (auto line : split_at_carriage_returns(contents)) lines.emplace_back(line);
  return lines;
}

TEST(TextReading, RecordsEndAtACarriageReturnOrACarriageReturnLineFeedPair) {
  EXPECT_EQ(records("M1A\rM2B\r"), (Lines{"M1A", "M2B"}));
  EXPECT_EQ(records("M1A\r\nM2B\r\n"), (Lines{"M1A", "M2B"}));
  // A line feed alone is content; CR CR LF is one end and then an empty record.
  EXPECT_EQ(records("M1\nA\rM2\r\r\nM3\r"), (Lines{"M1\nA", "M2", "", "M3"}));
  EXPECT_EQ(records("\r\rM1\r"), (Lines{"", "", "M1"}));
  // A last record without an end is kept; nothing follows a final end.
  EXPECT_EQ(records("M1A\rM2B"), (Lines{"M1A", "M2B"}));
  EXPECT_EQ(records("M1A\r\n"), (Lines{"M1A"}));
  EXPECT_EQ(records(""), Lines{});
  EXPECT_EQ(records("M1A\rM2\x1a"
                    "B\rM3\r"),
            (Lines{"M1A", "M2"}));
}

TEST(TextReading, ATextModeLineReadTakesUpToItsLimitOrThroughALineFeed) {
  // Carriage returns alone do not stop the read; the rest of the text is left.
  TextModeLine read = read_text_mode_line("T51ab\rA02cd\rA03", 8);
  EXPECT_EQ(read.line, "T51ab\rA0");
  EXPECT_EQ(read.consumed, 8u);
  // A line feed ends it and is kept; a CR LF pair is one line feed read from
  // two bytes.
  read = read_text_mode_line("T51\r\nA02\r", 8);
  EXPECT_EQ(read.line, "T51\n");
  EXPECT_EQ(read.consumed, 5u);
  read = read_text_mode_line("T5\nA02", 8);
  EXPECT_EQ(read.line, "T5\n");
  EXPECT_EQ(read.consumed, 3u);
  // A pair that straddles the limit is still one character.
  read = read_text_mode_line("1234567\r\nX", 8);
  EXPECT_EQ(read.line, "1234567\n");
  EXPECT_EQ(read.consumed, 9u);
  read = read_text_mode_line("12345678\r\nX", 8);
  EXPECT_EQ(read.line, "12345678");
  EXPECT_EQ(read.consumed, 8u);
  // The end of the text ends the read.
  read = read_text_mode_line("T51", 342);
  EXPECT_EQ(read.line, "T51");
  EXPECT_EQ(read.consumed, 3u);
  EXPECT_EQ(read_text_mode_line("", 342).consumed, 0u);
}

}  // namespace
}  // namespace qx::os
