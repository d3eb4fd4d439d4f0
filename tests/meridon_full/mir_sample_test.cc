// The MIR sample generator: reproducible bytes, the shape of a file (a
// 342-character header, record ends, the number of records), every record
// kind the loader stores, and counts within what one file may hold.
#include "generator/mir_sample.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "mir_expectations.h"

namespace qx::generator {
namespace {

using meridon_full::expected_types;

std::vector<std::string> records_of(const std::string& text, std::string_view end) {
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t at = text.find(end, start);
    EXPECT_NE(at, std::string::npos) << "the last record has no end";
    if (at == std::string::npos) break;
    records.push_back(text.substr(start, at - start));
    start = at + end.size();
  }
  return records;
}

TEST(MirSample, TheSameSeedGivesTheSameFileAndAnotherSeedAnother) {
  FileOptions options;
  options.records = 80;
  EXPECT_EQ(generate_mir_file(options, 5), generate_mir_file(options, 5));
  EXPECT_NE(generate_mir_file(options, 5), generate_mir_file(options, 6));
}

TEST(MirSample, AFileIsAWholeHeaderThenRecordsEachWithItsEnd) {
  for (bool crlf : {false, true}) {
    for (int records : {1, 2, 13, 60, kMostMirRecords, kMostMirRecords + 50}) {
      FileOptions options;
      options.records = records;
      options.crlf = crlf;
      const std::string text = generate_mir_file(options, 40 + records);
      const auto lines = records_of(text, crlf ? "\r\n" : "\r");
      ASSERT_EQ(static_cast<int>(lines.size()), std::min(records, kMostMirRecords));
      EXPECT_EQ(lines[0].size(), 342u);
      EXPECT_TRUE(lines[0].starts_with("T51"));
      for (const auto& line : lines) {
        EXPECT_GE(line.size(), 3u);
        EXPECT_EQ(line.find_first_of(std::string("\r\n\x1a\0", 4)), std::string::npos) << line;
      }
    }
  }
}

// Over many files of every size: every stored kind comes in every file of
// 13 records or more, no kind passes what a file may hold, and the A08
// rest-of-line field stays within its 999 characters.
TEST(MirSample, EveryStoredKindComesAndNoneOverflowsItsTable) {
  for (std::uint64_t seed = 0; seed < 120; ++seed) {
    FileOptions options;
    options.records = 13 + static_cast<int>(seed * 7 % (kMostMirRecords - 12));
    const auto lines = records_of(generate_mir_file(options, seed), "\r");
    std::map<std::string, std::size_t> counts;
    for (const auto& line : lines) {
      ++counts[line.substr(0, 3)];
      if (line.starts_with("A08")) {
        EXPECT_LE(line.size(), 45u + 999u);
      }
    }
    for (const auto& type : expected_types()) {
      EXPECT_GE(counts[type.tag], 1u) << type.tag << ", seed " << seed;
      EXPECT_LE(counts[type.tag], type.rows) << type.tag << ", seed " << seed;
    }
  }
}

}  // namespace
}  // namespace qx::generator
