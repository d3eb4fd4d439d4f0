// The PNR sample generator: reproducible bytes, record ends, every record
// kind within what one file may hold, and continuation lines only where a
// loader attaches them.
#include "generator/pnr_sample.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "generator/sample_format.h"
#include "pnr_expectations.h"

namespace qx::generator {
namespace {

std::vector<std::string> records_ended_by(const std::string& text, const std::string& end) {
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t at = text.find(end, start);
    EXPECT_NE(at, std::string::npos) << "a record without its end";
    if (at == std::string::npos) break;
    records.push_back(text.substr(start, at - start));
    start = at + end.size();
  }
  return records;
}

std::string generate(int records, std::uint64_t seed, bool crlf = false) {
  FileOptions options;
  options.records = records;
  options.crlf = crlf;
  return generate_pnr_file(options, seed);
}

TEST(PnrSample, TheSameSeedGivesTheSameBytesAndTheFormatIsListed) {
  EXPECT_EQ(generate(80, 7), generate(80, 7));
  EXPECT_NE(generate(80, 7), generate(80, 8));
  const SampleFormat* format = find_sample_format("pnr");
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->extension, "PNR");
  EXPECT_EQ(format->generate({80, 1, false}, 7), generate(80, 7));
}

TEST(PnrSample, RecordsEndWithACarriageReturnOrACarriageReturnLineFeedAndHoldNoEnd) {
  for (bool crlf : {false, true}) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
      std::string text = generate(120, seed, crlf);
      auto records = records_ended_by(text, crlf ? "\r\n" : "\r");
      ASSERT_EQ(records.size(), 120u) << seed;
      for (const auto& record : records) {
        EXPECT_EQ(record.find_first_of(std::string("\r\n\x1a\0", 4)), std::string::npos);
        EXPECT_GE(record.size(), 2u);
        EXPECT_NE(record.back(), ' ');
      }
    }
  }
}

TEST(PnrSample, EveryKindComesInFileOrderWithinItsCapacityAndContinuationsFollowM2) {
  std::map<std::string, std::size_t> capacity;
  std::string order;
  for (const auto& kind : qx::tarvo::pnr_kinds()) {
    capacity[std::string(kind.tag)] = kind.rows;
    order += std::string(kind.tag) + " ";
  }
  for (int records : {1, 16, 60, 200, 491, 900}) {
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
      auto lines = records_ended_by(generate(records, seed), "\r");
      ASSERT_EQ(static_cast<int>(lines.size()), std::min(records, kMostPnrRecords));
      std::map<std::string, std::size_t> counts;
      std::string previous_tag;
      std::size_t position = 0;
      std::size_t continuations = 0;
      for (const auto& line : lines) {
        std::string tag = line.substr(0, 2);
        if (capacity.count(tag) == 0) {
          EXPECT_EQ(previous_tag, "M2") << tag << " follows " << previous_tag;
          EXPECT_NE(std::string("CA PO LP IN NO CH").find(tag), std::string::npos) << tag;
          ++continuations;
        } else {
          std::size_t at = order.find(tag + " ");
          EXPECT_GE(at, position) << tag << " out of order";
          position = at;
          ++counts[tag];
        }
        previous_tag = tag;
      }
      EXPECT_EQ(lines.front().substr(0, 2), "AA");
      EXPECT_EQ(counts["AA"], 1u);
      if (records >= 16) {
        EXPECT_GE(continuations, 1u) << "seed " << seed;
      }
      for (const auto& [tag, rows] : capacity) {
        EXPECT_LE(counts[tag], rows) << tag;
        if (records >= 16) {
          EXPECT_GE(counts[tag], 1u) << tag << " missing, seed " << seed;
        }
      }
    }
  }
}

}  // namespace
}  // namespace qx::generator
