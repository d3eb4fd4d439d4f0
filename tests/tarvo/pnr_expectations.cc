#include "pnr_expectations.h"

#include <optional>
#include <sstream>

#include "db/codepage.h"

namespace qx::tarvo {
namespace {

constexpr std::string_view kNumberedText = "=?? 3-4 5-204";
constexpr std::string_view kNumberedCodedText = "=?? 3-4 5-6 7-206";

// Written out from the positions column of each record's description.
constexpr PnrKind kKinds[] = {
    {"AA", "qx_tarvo_m0", "tm0_", 2,
     "1-13 14 15-16 17-26 27 28-29 30 31-36 37-46 47-53 54-61 62 63-78 79 80 81-90 91-98 99-116 "
     "117-121 122-126 127-136 137-141 142-146 147-149 150-166 167-169 170-186 187-189 190-192 "
     "193-195 196-198 199-201 202-204 205-207 208-210 211-213 214-216 217-220 221-225 226-230 "
     "231-450 - - - - - -"},
    {"M1", "qx_tarvo_m1", "tm1_", 75,
     "=M1 3-4 5-68 69-99 100-119 120-124 125-126 127-128 130-131 132-133 134-135 136-137 138 "
     "139-338"},
    {"M2", "qx_tarvo_m2", "tm2_", 50,
     "=M2 3-4 5-7 8-18 19 20 21 22-33 34 35-45 46 47-53 54-55 56 57-63 64-65 66 67-73 74-75 76 "
     "77-87 88-115 116 117-127 128-135 136 137-144 145 146-153 154 155 156 157-164 165-179 "
     "180-183 184 185 186 187-196 197-206 207 204-217 222-225 226-227 228-229 230-231 232-233 "
     "234-243 244 245-444 - - - - - - - - -"},
    {"M3", "qx_tarvo_m3", "tm3_", 25,
     "=M3 3-4 5 6 7 8-9 10-14 15-17 18 19-21 22-38 39-41 42-58 59-60 61-65 66-67 68-72 73-77 "
     "78-85 86-89 90 91 92 93-110 111-112 113-115 116-121 122-127 128-189 190-194 195 196-232 "
     "233 234-247 248-447"},
    {"M4", "qx_tarvo_m4", "tm4_", 15,
     "=M4 3-4 5-7 8 9 10-14 15-19 20-21 22-24 25-31 32-37 38-39 40-47 48 49-60 61-70 71-270"},
    {"M5", "qx_tarvo_m5", "tm5_", 75, kNumberedCodedText},
    {"M6", "qx_tarvo_m6", "tm6_", 15, "=M6 3-5 5 6 7-206"},
    {"M7", "qx_tarvo_m7", "tm7_", 50, kNumberedText},
    {"M8", "qx_tarvo_m8", "tm8_", 15, kNumberedText},
    {"M9", "qx_tarvo_m9", "tm9_", 15, kNumberedText},
    {"MA", "qx_tarvo_ma", "tma_", 10,
     "=MA 3-6 7-16 17-18 19-29 30-122 123-171 172-256 257-991 992-1191"},
    {"MB", "qx_tarvo_mb", "tmb_", 10, kNumberedCodedText},
    {"MC", "qx_tarvo_mc", "tmc_", 10, kNumberedCodedText},
    {"MD", "qx_tarvo_md", "tmd_", 25, kNumberedCodedText},
    {"ME", "qx_tarvo_me", "tme_", 50, kNumberedText},
};

constexpr std::size_t kContinuationSlot = 51;
constexpr std::size_t kLongestLine = 8191;

// Records end at CR or at CR LF; byte 26 ends the file; a last record
// without an end counts.
std::vector<std::string> records_of(const std::string& contents) {
  std::string text = contents.substr(0, contents.find('\x1a'));
  std::vector<std::string> records;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t cr = text.find('\r', start);
    if (cr == std::string::npos) cr = text.size();
    records.push_back(text.substr(start, cr - start));
    start = cr + 1;
    if (start < text.size() && text[start] == '\n') ++start;
  }
  return records;
}

qx::testing::Value stored_text(const std::string& value) {
  if (value.empty()) return std::nullopt;
  return db::cp1252_to_utf8(value);
}

std::string cut(const std::string& line, const SlotSource& source) {
  if (source.first == 0) return source.constant;
  if (source.first > line.size()) return "";
  return line.substr(source.first - 1, source.last - source.first + 1);
}

struct FiledRow {
  std::vector<std::string> slots;
};

}  // namespace

std::span<const PnrKind> pnr_kinds() {
  return kKinds;
}

std::vector<SlotSource> slot_sources(const PnrKind& kind) {
  std::vector<SlotSource> slots;
  std::istringstream words{std::string(kind.slots)};
  for (std::string word; words >> word;) {
    SlotSource slot;
    if (word == "=??") {
      slot.constant = kind.tag;
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

TableRows expected_pnr_rows(const std::vector<PnrFile>& files) {
  TableRows tables;
  for (const auto& kind : kKinds) tables[std::string(kind.table)];
  std::string last_tag;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::string key = std::to_string(f + 1);
    std::map<std::string_view, std::vector<FiledRow>> filed;
    for (std::string line : records_of(files[f].contents)) {
      line = line.substr(0, kLongestLine);
      const std::string tag = line.substr(0, 2);
      auto& m2 = filed["M2"];
      const bool continues =
          tag == "CA" || tag == "PO" || tag == "LP" || tag == "IN" || tag == "NO" || tag == "CH";
      if (continues && last_tag == "M2") {
        if (!m2.empty()) m2.back().slots[kContinuationSlot] = line.substr(0, 200);
        last_tag = "~~";
        continue;
      }
      for (const auto& kind : kKinds) {
        if (kind.tag != tag) continue;
        auto& rows = filed[kind.tag];
        if (rows.size() == kind.rows) {
          last_tag.clear();
          break;
        }
        FiledRow row;
        for (const auto& source : slot_sources(kind)) row.slots.push_back(cut(line, source));
        rows.push_back(row);
        last_tag = tag;
      }
    }
    for (const auto& kind : kKinds) {
      const auto& rows = filed[kind.tag];
      for (std::size_t serial = 0; serial < rows.size(); ++serial) {
        qx::testing::Row row = {key, std::to_string(serial)};
        if (kind.tag == "AA") {
          row.push_back(files[f].name);
          row.push_back("Y");
        }
        for (const auto& slot : rows[serial].slots) row.push_back(stored_text(slot));
        tables[std::string(kind.table)].push_back(row);
      }
    }
  }
  return tables;
}

TableRows stored_pnr_rows(const qx::testing::TableReader& reader) {
  TableRows tables;
  for (const auto& kind : kKinds) {
    const std::string p(kind.prefix);
    std::string columns = p + "reference, " + p + "serial";
    if (kind.tag == "AA") columns += ", tm0_file_name, tm0_loaded_flag";
    for (std::size_t k = 0; k < slot_sources(kind).size(); ++k)
      columns += ", " + p + std::to_string(k);
    tables[std::string(kind.table)] =
        reader.rows("select " + columns + " from " + std::string(kind.table) + " order by 1, 2");
  }
  return tables;
}

}  // namespace qx::tarvo
