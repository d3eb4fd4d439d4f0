// The AIR sample generator: reproducible bytes, the shape of a file (line
// ends, bookings, records), every record kind a loader handles, field counts
// around each table's stored columns, and serial numbers where the loaders
// read them from the record.
#include "generator/air_sample.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "generator/air_lines.h"
#include "schema/schema.h"

namespace qx::generator {
namespace {

using testing::split_fields;
using testing::split_lines;

// The loader's handler tests: the tags (first two characters, or first four)
// that send a line to each table.
struct Handler {
  std::vector<std::string> tag2s;
  std::vector<std::string> tag4s;
  std::string table;
};

const std::vector<Handler> kHandlers = {
    {{"AM"}, {}, "qx_air_corvane"},
    {{"A-"}, {"AITA"}, "qx_air_a"},
    {{"B-"}, {}, "qx_air_b"},
    {{"C-"}, {}, "qx_air_c"},
    {{"D-"}, {}, "qx_air_d"},
    {{"G-"}, {}, "qx_air_g"},
    {{"H-"}, {}, "qx_air_h"},
    {{"U-"}, {}, "qx_air_u"},
    {{"K-", "KF", "KN", "KS"}, {"TSA-"}, "qx_air_k"},
    {{"L-"}, {}, "qx_air_l"},
    {{"M-", "MU"}, {}, "qx_air_m"},
    {{"O-"}, {}, "qx_air_o"},
    {{"Q-"}, {}, "qx_air_q"},
    {{"RM", "RI"}, {}, "qx_air_r"},
    {{"I-"}, {}, "qx_air_i"},
    {{"S-"}, {}, "qx_air_s"},
    {{"T-"}, {}, "qx_air_t"},
    {{"V-"}, {}, "qx_air_v"},
    {{"FM", "FP", "FT", "FV", "FE", "FH"}, {}, "qx_air_f"},
    {{"EN"}, {}, "qx_air_e"},
};

// The handler a line goes to and the tag that sent it there; nullptr when no
// handler takes the line.
const Handler* handler_of(const std::string& line, std::string* tag) {
  for (const auto& handler : kHandlers) {
    for (const auto& tag2 : handler.tag2s) {
      if (line.substr(0, 2) == tag2) return *tag = tag2, &handler;
    }
    for (const auto& tag4 : handler.tag4s) {
      if (line.substr(0, 4) == tag4) return *tag = tag4, &handler;
    }
  }
  return nullptr;
}

// Field columns (those ending in a number) a table stores.
int stored_fields(const std::string& table) {
  int count = 0;
  for (const auto& column : schema::find_table(table)->columns) {
    count += std::isdigit(static_cast<unsigned char>(column.name.back())) ? 1 : 0;
  }
  return count;
}

bool starts_with_digits(const std::string& text, std::size_t count) {
  if (text.size() < count) return false;
  for (std::size_t i = 0; i < count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
  }
  return true;
}

bool is_booking_header(const std::string& line) {
  return line.starts_with("AMD ") || line.starts_with("AMDR");
}

std::vector<std::string> sample_lines() {
  std::vector<std::string> lines;
  for (std::uint64_t seed = 1; seed <= 40; ++seed) {
    auto file = split_lines(generate_air_file({.records = 200, .bookings = 4}, seed), "\n");
    lines.insert(lines.end(), file.begin(), file.end());
  }
  return lines;
}

TEST(AirSample, SameSeedSameBytesAndCrLfChangesOnlyTheLineEnds) {
  const FileOptions options{.records = 120, .bookings = 3};
  const std::string first = generate_air_file(options, 17);
  EXPECT_EQ(generate_air_file(options, 17), first);
  EXPECT_NE(generate_air_file(options, 18), first);

  FileOptions crlf = options;
  crlf.crlf = true;
  std::string expected;
  for (char c : first) expected += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(generate_air_file(crlf, 17), expected);
}

TEST(AirSample, FileHasTheAskedRecordsAndBookings) {
  struct Case {
    int records, bookings, expected_lines, expected_bookings;
  };
  for (const Case c : {Case{1, 1, 1, 1}, Case{2, 1, 2, 1}, Case{50, 1, 50, 1}, Case{50, 7, 50, 7},
                       Case{3, 5, 5, 5}}) {
    const auto lines = split_lines(
        generate_air_file({.records = c.records, .bookings = c.bookings}, c.records), "\n");
    ASSERT_EQ(static_cast<int>(lines.size()), c.expected_lines) << c.records << "/" << c.bookings;
    EXPECT_TRUE(is_booking_header(lines[0]));
    int bookings = 0;
    for (const auto& line : lines) bookings += is_booking_header(line) ? 1 : 0;
    EXPECT_EQ(bookings, c.expected_bookings) << c.records << "/" << c.bookings;
  }
}

TEST(AirSample, EveryHandledTagAndUnhandledLinesAppear) {
  std::set<std::string> expected = {"AMD ", "AMDR", "another AM", "unhandled", "empty line"};
  for (const auto& handler : kHandlers) {
    expected.insert(handler.tag2s.begin(), handler.tag2s.end());
    expected.insert(handler.tag4s.begin(), handler.tag4s.end());
  }
  std::set<std::string> seen;
  for (const auto& line : sample_lines()) {
    std::string tag;
    if (handler_of(line, &tag) == nullptr) seen.insert(line.empty() ? "empty line" : "unhandled");
    seen.insert(tag);
    if (tag == "AM") seen.insert(is_booking_header(line) ? line.substr(0, 4) : "another AM");
  }
  for (const auto& tag : expected) EXPECT_TRUE(seen.count(tag)) << "never produced: " << tag;
}

TEST(AirSample, FieldCountsAndContentsArePlausible) {
  std::map<std::string, int> fewer, more;
  bool empty_field = false, high_byte = false;
  int u_number = 0, i_number = 0;
  for (const auto& line : sample_lines()) {
    for (unsigned char c : line) {
      ASSERT_TRUE(c != 0 && c != 26 && c != '\r') << line;
      high_byte |= c > 127;
    }
    const auto fields = split_fields(line);
    empty_field |= line.find(";;") != line.npos;
    std::string tag;
    const Handler* handler = handler_of(line, &tag);
    if (handler == nullptr) {
      EXPECT_LE(fields.size(), 8u) << line;
      continue;
    }
    const int stored = stored_fields(handler->table);
    const int count = static_cast<int>(fields.size());
    EXPECT_LE(count, stored + 4) << line;
    if (count < stored) ++fewer[handler->table];
    if (count > stored) ++more[handler->table];

    if (is_booking_header(line)) u_number = i_number = 0;
    if (tag == "U-") {
      ASSERT_GE(fields.size(), 2u) << line;
      EXPECT_TRUE(starts_with_digits(fields[1], 3)) << line;
      EXPECT_EQ(std::stoi(fields[1].substr(0, 3)), ++u_number) << line;
    }
    if (tag == "I-") {
      ASSERT_GE(fields.size(), 2u) << line;
      EXPECT_TRUE(starts_with_digits(fields[1], 2)) << line;
      EXPECT_EQ(std::stoi(fields[1].substr(0, 2)), ++i_number) << line;
    }
  }
  EXPECT_TRUE(empty_field);
  EXPECT_TRUE(high_byte);
  for (const char* table : {"qx_air_corvane", "qx_air_h", "qx_air_k", "qx_air_m", "qx_air_r"}) {
    EXPECT_GT(fewer[table], 0) << table;
  }
  for (const auto& handler : kHandlers) EXPECT_GT(more[handler.table], 0) << handler.table;
}

}  // namespace
}  // namespace qx::generator
