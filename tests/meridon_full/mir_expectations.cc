#include "mir_expectations.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "db/codepage.h"

namespace qx::meridon_full {
namespace {

using qx::testing::Row;
using qx::testing::Value;

// "=XY" the constant XY, "=??" the type's tag, "a-b" positions a to b,
// "a" position a alone, "a-" position a to the end of the line.
ExpectedType type(std::string tag, std::string table, std::string prefix, std::size_t rows,
                  std::string_view slots) {
  ExpectedType expected{tag, std::move(table), std::move(prefix), rows, {}};
  std::istringstream words{std::string(slots)};
  for (std::string word; words >> word;) {
    ExpectedSlot slot;
    if (word == "=??") {
      slot.constant = tag;
    } else if (word[0] == '=') {
      slot.constant = word.substr(1);
    } else {
      auto dash = word.find('-');
      slot.first = std::stoul(word.substr(0, dash));
      slot.last = dash == std::string::npos ? slot.first
                  : dash + 1 == word.size() ? 0
                                            : std::stoul(word.substr(dash + 1));
    }
    expected.slots.push_back(slot);
  }
  return expected;
}

constexpr std::string_view kA04A05Shared =
    "=?? 4-5 6-7 8-10 11-22 23-26 27-28 29-30 31-35 36-40 41-45 46 47-62 63-78 ";

std::vector<ExpectedType> all_types() {
  return {
      type("T51", "qx_meridon_t5", "mt5_", 1,
           "=T5 3-4 5-8 9-10 11-15 16-20 21-32 33-61 62-68 69-80 82-85 86-89 90-98 99-104 "
           "105-110 111-112 113 114-119 120 121-124 125-131 132-134 135-141 142-144 146-148 "
           "149-160 161 162-164 165-172 173-174 175-182 183-184 185-192 193-194 195-202 "
           "203-204 205-212 213-214 215-226 227-241 243-265 266-267 268 269-272 273-277 "
           "278-283 284-285 286-289 290-293 295-342"),
      type("A02", "qx_meridon_a02", "ma02_", 15,
           "=?? 4-36 37-47 48-69 70-75 76-77 78-79 80-82 83-115 116-117 118-130 131-132 "
           "133-135 136-137 138 139-140 141 142-143 144-145 146-147 148-180 181-182 183-189 "
           "190-192 193-194 195-205"),
      type("A03", "qx_meridon_a03", "ma03_", 15, "=?? 4-24 25-26 27 28-47"),
      type("A04", "qx_meridon_a04", "ma04_", 5,
           std::string(kA04A05Shared) +
               "79 80 81-84 85 86 87-89 90-93 94-96 97-101 102 103 104-107 108-110 111-123 "
               "124 125-129 130-133 134-139 140-142 143-154 155-157 158-162 163-165 166 "
               "167-169 170-174"),
      type("A05", "qx_meridon_a05", "ma05_", 5, std::string(kA04A05Shared) + "79-82 83"),
      type("A07", "qx_meridon_a07", "ma07_", 15,
           "=?? 4-5 6-8 9-20 21-23 24-35 36-38 39-50 51-53 54-56 57-64 65-66 67-69 70-77 "
           "78-79 80-82 83-90 91-92"),
      type("A08", "qx_meridon_a08", "ma08_", 15,
           "=?? 4-5 6-7 8-15 16-23 24-30 31-37 38-43 44-45 46-"),
      type("A09", "qx_meridon_a09", "ma09_", 5,
           "=?? 4-5 6 7-67 68-128 129-189 190-250 251-301 302-362"),
      type("A11", "qx_meridon_a11", "ma11_", 10,
           "=?? 4-5 6-17 18 19-20 21-40 41-44 45-52 53 54-55 56-57 58-59 60-100 101-102 "
           "103-132 133-134 135-137"),
      type("A12", "qx_meridon_a12", "ma12_", 5, "=?? 4-6 7-8 9-72"),
      type("A13", "qx_meridon_a13", "ma13_", 5, "=?? 4-5 6-228"),
      type("A14", "qx_meridon_a14", "ma14_", 50, "=?? 4-243"),
      type("A21", "qx_meridon_a21", "ma21_", 50, "=?? 4-243"),
  };
}

Value as_value(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return db::cp1252_to_utf8(text);
}

std::vector<std::string> lines_after_header(const std::string& body) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < body.size()) {
    std::size_t end = std::min(body.find('\r', start), body.size());
    lines.push_back(body.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace

const std::vector<ExpectedType>& expected_types() {
  static const std::vector<ExpectedType> types = all_types();
  return types;
}

const ExpectedType& expected_type(std::string_view tag) {
  for (const auto& type : expected_types()) {
    if (type.tag == tag) return type;
  }
  throw std::logic_error("no MIR type " + std::string(tag));
}

std::vector<std::string> expected_slots(const ExpectedType& type, const std::string& line) {
  std::vector<std::string> values;
  for (const auto& slot : type.slots) {
    if (slot.first == 0) {
      values.push_back(slot.constant);
    } else if (slot.first > line.size()) {
      values.emplace_back();
    } else {
      std::size_t last = slot.last == 0 ? line.size() : std::min(slot.last, line.size());
      values.push_back(line.substr(slot.first - 1, last - slot.first + 1));
    }
  }
  return values;
}

std::map<std::string, std::vector<Row>> expected_mir_rows(
    const std::vector<LoadedFile>& files_in_load_order, long long first_key) {
  std::map<std::string, std::vector<Row>> rows;
  long long key = first_key;
  for (const auto& file : files_in_load_order) {
    std::vector<std::string> lines =
        lines_after_header(file.contents.substr(std::min<std::size_t>(342, file.contents.size())));
    lines.insert(lines.begin(), file.contents.substr(0, 342));
    std::map<std::string, long long> serials;
    for (const auto& line : lines) {
      const ExpectedType* type = nullptr;
      for (const auto& candidate : expected_types()) {
        if (line.compare(0, 3, candidate.tag) == 0) type = &candidate;
      }
      if (type == nullptr) continue;
      Row row = {std::to_string(key), std::to_string(serials[type->tag]++)};
      if (type->tag == "T51") row.push_back(file.name);
      for (const auto& value : expected_slots(*type, line)) row.push_back(as_value(value));
      rows[type->table].push_back(std::move(row));
    }
    ++key;
  }
  for (auto& [table, list] : rows) std::sort(list.begin(), list.end());
  return rows;
}

std::map<std::string, std::vector<Row>> stored_mir_rows(const qx::testing::TableReader& reader) {
  std::map<std::string, std::vector<Row>> rows;
  for (const auto& type : expected_types()) {
    std::string select = "select " + type.prefix + "reference, " + type.prefix + "serial";
    if (type.tag == "T51") select += ", mt5_file_name";
    for (std::size_t k = 0; k < type.slots.size(); ++k) {
      select += ", " + type.prefix + std::to_string(k);
    }
    auto list = reader.rows(select + " from " + type.table);
    std::sort(list.begin(), list.end());
    if (!list.empty()) rows[type.table] = std::move(list);
  }
  return rows;
}

}  // namespace qx::meridon_full
