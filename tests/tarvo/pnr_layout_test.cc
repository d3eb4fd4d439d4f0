// Every PNR layout, checked slot by slot against the positions the
// interface gives for each field, on lines in which every character tells
// its own position; and the statements built from the layouts.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "records/record_statements.h"
#include "records/record_table.h"
#include "schema/schema.h"
#include "tarvo/pnr_records.h"

namespace qx::tarvo {
namespace {

// One entry per inserted slot: "=XY" the constant XY, "-" no line fills it,
// "a-b" positions a to b of the line, "a" position a alone.
struct Expected {
  std::string_view tag;
  std::string_view table;
  std::size_t rows;
  std::string_view slots;
};

constexpr std::string_view kNumberedText = "=?? 3-4 5-204";
constexpr std::string_view kNumberedCodedText = "=?? 3-4 5-6 7-206";

const Expected kExpected[] = {
    {"AA", "qx_tarvo_m0", 2,
     "1-13 14 15-16 17-26 27 28-29 30 31-36 37-46 47-53 54-61 62 63-78 79 80 81-90 91-98 99-116 "
     "117-121 122-126 127-136 137-141 142-146 147-149 150-166 167-169 170-186 187-189 190-192 "
     "193-195 196-198 199-201 202-204 205-207 208-210 211-213 214-216 217-220 221-225 226-230 "
     "231-450 - - - - - -"},
    {"M1", "qx_tarvo_m1", 75,
     "=M1 3-4 5-68 69-99 100-119 120-124 125-126 127-128 130-131 132-133 134-135 136-137 138 "
     "139-338"},
    {"M2", "qx_tarvo_m2", 50,
     "=M2 3-4 5-7 8-18 19 20 21 22-33 34 35-45 46 47-53 54-55 56 57-63 64-65 66 67-73 74-75 76 "
     "77-87 88-115 116 117-127 128-135 136 137-144 145 146-153 154 155 156 157-164 165-179 "
     "180-183 184 185 186 187-196 197-206 207 204-217 222-225 226-227 228-229 230-231 232-233 "
     "234-243 244 245-444 - - - - - - - - -"},
    {"M3", "qx_tarvo_m3", 25,
     "=M3 3-4 5 6 7 8-9 10-14 15-17 18 19-21 22-38 39-41 42-58 59-60 61-65 66-67 68-72 73-77 "
     "78-85 86-89 90 91 92 93-110 111-112 113-115 116-121 122-127 128-189 190-194 195 196-232 "
     "233 234-247 248-447"},
    {"M4", "qx_tarvo_m4", 15,
     "=M4 3-4 5-7 8 9 10-14 15-19 20-21 22-24 25-31 32-37 38-39 40-47 48 49-60 61-70 71-270"},
    {"M5", "qx_tarvo_m5", 75, kNumberedCodedText},
    {"M6", "qx_tarvo_m6", 15, "=M6 3-5 5 6 7-206"},
    {"M7", "qx_tarvo_m7", 50, kNumberedText},
    {"M8", "qx_tarvo_m8", 15, kNumberedText},
    {"M9", "qx_tarvo_m9", 15, kNumberedText},
    {"MA", "qx_tarvo_ma", 10, "=MA 3-6 7-16 17-18 19-29 30-122 123-171 172-256 257-991 992-1191"},
    {"MB", "qx_tarvo_mb", 10, kNumberedCodedText},
    {"MC", "qx_tarvo_mc", 10, kNumberedCodedText},
    {"MD", "qx_tarvo_md", 25, kNumberedCodedText},
    {"ME", "qx_tarvo_me", 50, kNumberedText},
};

struct SlotSource {
  std::string constant;
  std::size_t first = 0, last = 0;  // 0: no positions
};

std::vector<SlotSource> parse_slots(const Expected& expected) {
  std::vector<SlotSource> slots;
  std::istringstream words{std::string(expected.slots)};
  for (std::string word; words >> word;) {
    SlotSource slot;
    if (word == "=??") {
      slot.constant = expected.tag;
    } else if (word[0] == '=') {
      slot.constant = word.substr(1);
    } else if (word != "-") {
      auto dash = word.find('-');
      slot.first = std::stoul(word.substr(0, dash));
      slot.last = dash == std::string::npos ? slot.first : std::stoul(word.substr(dash + 1));
    }
    slots.push_back(slot);
  }
  return slots;
}

// The tag, then at each position p a character that names p (modulo 62).
std::string coded_line(std::string_view tag, std::size_t length) {
  static constexpr std::string_view symbols =
      "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  std::string line(tag);
  for (std::size_t p = line.size() + 1; p <= length; ++p) line += symbols[p % symbols.size()];
  return line.substr(0, length);
}

const records::RecordType& type_tagged(std::string_view tag) {
  for (const auto& type : pnr_record_types()) {
    if (type.tag == tag) return type;
  }
  throw std::logic_error("no PNR type " + std::string(tag));
}

TEST(PnrLayouts, TheTypesComeInInsertOrderWithTheirTablesAndCapacities) {
  auto types = pnr_record_types();
  ASSERT_EQ(types.size(), std::size(kExpected));
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(types[i].tag, kExpected[i].tag);
    EXPECT_EQ(types[i].table, kExpected[i].table);
    EXPECT_EQ(types[i].row_capacity, kExpected[i].rows) << types[i].tag;
  }
}

// Every line length from the tag alone to past the last field: each slot
// holds the positions it is given, as far as the line reaches.
TEST(PnrLayouts, EverySlotTakesItsPositionsOnLinesOfEveryLength) {
  for (const auto& expected : kExpected) {
    const auto& type = type_tagged(expected.tag);
    auto slots = parse_slots(expected);
    ASSERT_EQ(type.inserted_columns(), slots.size()) << expected.tag;
    std::size_t longest = 0;
    for (const auto& slot : slots) longest = std::max(longest, slot.last);

    records::RecordTable table(type);
    std::vector<records::SlotCut> cuts;
    for (std::size_t length = 2; length <= longest + 1; ++length) {
      std::string line = coded_line(expected.tag, length);
      ASSERT_TRUE(table.file_line(line, cuts));
      for (std::size_t k = 0; k < slots.size(); ++k) {
        std::string want = slots[k].constant;
        if (slots[k].first != 0 && slots[k].first <= length) {
          want =
              line.substr(slots[k].first - 1, std::min(slots[k].last, length) - slots[k].first + 1);
        }
        ASSERT_EQ(table.slot(0, k), want)
            << expected.tag << " slot " << k << ", line of " << length << " characters";
      }
      table.clear();
    }
  }
}

TEST(PnrLayouts, OverlappingCutsRepeatTheSharedPositions) {
  std::vector<records::SlotCut> cuts;
  records::RecordTable m6(type_tagged("M6"));
  ASSERT_TRUE(m6.file_line("M6ABCDE", cuts));
  EXPECT_EQ(m6.slot(0, 1), "ABC");
  EXPECT_EQ(m6.slot(0, 2), "C");
  EXPECT_EQ(m6.slot(0, 3), "D");
  EXPECT_EQ(m6.slot(0, 4), "E");

  records::RecordTable m2(type_tagged("M2"));
  std::string line = "M2" + std::string(194, '.') + "0123456789X";  // 207 characters
  ASSERT_TRUE(m2.file_line(line, cuts));
  EXPECT_EQ(m2.slot(0, 39), "0123456789");
  EXPECT_EQ(m2.slot(0, 40), "X");
  EXPECT_EQ(m2.slot(0, 41), "789X");
}

TEST(PnrLayouts, InsertsNameTheTablesColumnsInOrderWithTheHeaderValuesWritten) {
  EXPECT_EQ(records::insert_statement(type_tagged("M1")),
            "insert into qx_tarvo_m1 (tm1_reference,tm1_serial,tm1_0,tm1_1,tm1_2,tm1_3,tm1_4,"
            "tm1_5,tm1_6,tm1_7,tm1_8,tm1_9,tm1_10,tm1_11,tm1_12,tm1_13) values (:b0,:b1,:b2,:b3,"
            ":b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15)");
  std::string header = records::insert_statement(type_tagged("AA"));
  EXPECT_TRUE(
      header.starts_with("insert into qx_tarvo_m0 (tm0_reference,tm0_serial,"
                         "tm0_file_name,tm0_created_on,tm0_loaded_flag,tm0_0,tm0_1,"))
      << header;
  EXPECT_TRUE(
      header.ends_with("tm0_46) values (:b0,:b1,:b2,CURRENT_TIMESTAMP,'N',:b3,:b4,"
                       ":b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,"
                       ":b19,:b20,:b21,:b22,:b23,:b24,:b25,:b26,:b27,:b28,:b29,:b30,:b31,"
                       ":b32,:b33,:b34,:b35,:b36,:b37,:b38,:b39,:b40,:b41,:b42,:b43,:b44,"
                       ":b45,:b46,:b47,:b48,:b49)"))
      << header;
  // Every insert names exactly the columns of its table, in the table's order.
  for (const auto& type : pnr_record_types()) {
    const schema::Table* table = schema::find_table(type.table);
    ASSERT_NE(table, nullptr) << type.table;
    std::string columns;
    for (const auto& column : table->columns) columns += (columns.empty() ? "" : ",") + column.name;
    EXPECT_NE(records::insert_statement(type).find("(" + columns + ")"), std::string::npos)
        << type.table;
  }
}

}  // namespace
}  // namespace qx::tarvo
