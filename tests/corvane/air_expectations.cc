#include "air_expectations.h"

#include <algorithm>
#include <sstream>

#include "db/codepage.h"

namespace qx::corvane {
namespace {

using qx::testing::Row;
using qx::testing::Value;

enum class Serial { none, per_key, shared, shared_raise, own, from_record };

struct Kind {
  const char* table;
  const char* prefix;
  int columns;
  Serial serial;
  std::vector<std::string> tags;  // two characters, or four for AITA / TSA-
  std::size_t serial_digits = 0;  // from_record: characters of the second field
};

// The base build's record kinds, written out once more for the test.
std::vector<Kind> base_kinds() {
  return {
      {"qx_air_corvane", "air_", 12, Serial::none, {"AM"}},
      {"qx_air_a", "aira_", 11, Serial::none, {"A-", "AITA"}},
      {"qx_air_b", "airb_", 1, Serial::none, {"B-"}},
      {"qx_air_c", "airc_", 1, Serial::none, {"C-"}},
      {"qx_air_d", "aird_", 3, Serial::none, {"D-"}},
      {"qx_air_g", "airg_", 3, Serial::none, {"G-"}},
      {"qx_air_h", "airh_", 21, Serial::per_key, {"H-"}},
      {"qx_air_u", "airu_", 21, Serial::per_key, {"U-"}},
      {"qx_air_k", "airk_", 44, Serial::shared, {"K-", "KF", "KN", "KS", "TSA-"}},
      {"qx_air_l", "airl_", 1, Serial::shared, {"L-"}},
      {"qx_air_m", "airm_", 33, Serial::shared, {"M-", "MU"}},
      {"qx_air_o", "airo_", 4, Serial::shared, {"O-"}},
      {"qx_air_q", "airq_", 1, Serial::shared, {"Q-"}},
      {"qx_air_r", "airr_", 11, Serial::own, {"RM", "RI"}},
      {"qx_air_i", "airi_", 6, Serial::shared, {"I-"}},
      {"qx_air_s", "airs_", 2, Serial::shared, {"S-"}},
      {"qx_air_t", "airt_", 1, Serial::shared_raise, {"T-"}},
      {"qx_air_v", "airv_", 1, Serial::own, {"V-"}},
      {"qx_air_f", "airf_", 3, Serial::own, {"FM", "FP", "FT", "FV", "FE", "FH"}},
      {"qx_air_e", "aire_", 1, Serial::none, {"EN"}},
  };
}

// The other builds: narrow A and R records, serials read from the record.
std::vector<Kind> kinds(AirBuild build) {
  auto all = base_kinds();
  if (build == AirBuild::base) return all;
  for (auto& kind : all) {
    std::string table = kind.table;
    if (table == "qx_air_a") kind = {"qx_air_a", "aira_", 2, Serial::none, {"A-"}};
    if (table == "qx_air_r") kind = {"qx_air_r", "airr_", 1, Serial::own, {"RM"}};
    if (table == "qx_air_u") kind = {"qx_air_u", "airu_", 21, Serial::from_record, {"U-"}, 3};
    if (table == "qx_air_i" && build != AirBuild::narrow) {
      kind = {"qx_air_i", "airi_", 6, Serial::from_record, {"I-"}, 2};
    }
  }
  return all;
}

const Kind* kind_of(const std::vector<Kind>& all, const std::string& first_field) {
  for (const auto& kind : all) {
    for (const auto& tag : kind.tags) {
      if (first_field.compare(0, tag.size(), tag) == 0 && first_field.size() >= tag.size()) {
        return &kind;
      }
    }
  }
  return nullptr;
}

std::vector<std::string> lines_of(std::string text) {
  text = text.substr(0, text.find('\x1a'));
  std::string folded;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) folded += text[i];
  }
  std::vector<std::string> lines;
  std::istringstream in(folded);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> fields_of(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  for (char c : line) {
    if (c == ';') {
      fields.push_back(field);
      field.clear();
    } else {
      field += c;
    }
  }
  fields.push_back(field);
  return fields;
}

Value text_value(const std::vector<std::string>& fields, int i) {
  if (i >= static_cast<int>(fields.size()) || fields[i].empty()) return std::nullopt;
  return db::cp1252_to_utf8(fields[i]);
}

// The serial a build reads from the start of the second field: NULL when
// there is nothing, no row (nullopt of the outer optional) when it is not a
// number. Generated files only ever carry digits there.
std::optional<Value> record_serial(const std::vector<std::string>& fields, std::size_t digits) {
  std::string text = fields.size() > 1 ? fields[1].substr(0, digits) : "";
  if (text.empty()) return Value{};
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  return Value{std::to_string(std::stoll(text))};
}

}  // namespace

std::map<std::string, std::vector<Row>> expected_air_rows(const std::vector<LoadedFile>& files,
                                                          AirBuild build) {
  const auto all = kinds(build);
  std::map<std::string, std::vector<Row>> rows;
  long long key = 0;
  std::map<std::pair<std::string, long long>, int> per_key;  // (table, key) -> rows so far
  for (const auto& file : files) {
    int shared = 1;
    std::map<std::string, int> own;
    for (const auto& line : lines_of(file.contents)) {
      auto fields = fields_of(line);
      const Kind* kind = kind_of(all, fields[0]);
      if (kind == nullptr) continue;
      std::string table = kind->table;
      if (table == "qx_air_corvane" &&
          (fields[0].rfind("AMD ", 0) == 0 || fields[0].rfind("AMDR", 0) == 0)) {
        ++key;
      }
      Row row{std::to_string(key)};
      if (table == "qx_air_corvane") row.push_back(file.name);
      switch (kind->serial) {
        case Serial::none:
          break;
        case Serial::per_key:
          row.push_back(std::to_string(++per_key[{table, key}]));
          break;
        case Serial::shared:
          row.push_back(std::to_string(shared));
          break;
        case Serial::shared_raise:
          row.push_back(std::to_string(shared++));
          break;
        case Serial::own: {
          auto [it, fresh] = own.try_emplace(table, 1);
          row.push_back(std::to_string(it->second++));
          break;
        }
        case Serial::from_record: {
          auto serial = record_serial(fields, kind->serial_digits);
          if (!serial) continue;
          row.push_back(*serial);
          break;
        }
      }
      for (int i = 0; i < kind->columns; ++i) row.push_back(text_value(fields, i));
      rows[table].push_back(std::move(row));
    }
  }
  for (auto& [table, list] : rows) std::sort(list.begin(), list.end());
  return rows;
}

std::map<std::string, std::vector<Row>> stored_air_rows(const qx::testing::TableReader& reader,
                                                        AirBuild build) {
  std::map<std::string, std::vector<Row>> rows;
  for (const auto& kind : kinds(build)) {
    std::string prefix = kind.prefix;
    std::string select = "select cast(" + prefix + "key as integer)";
    if (std::string(kind.table) == "qx_air_corvane") select += ", air_reference";
    if (kind.serial != Serial::none) select += ", " + prefix + "serial";
    for (int i = 0; i < kind.columns; ++i) select += ", " + prefix + std::to_string(i);
    auto list = reader.rows(select + " from " + kind.table);
    std::sort(list.begin(), list.end());
    if (!list.empty()) rows[kind.table] = std::move(list);
  }
  return rows;
}

}  // namespace qx::corvane
