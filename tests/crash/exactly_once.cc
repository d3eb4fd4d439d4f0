#include "crash/exactly_once.h"

#include <algorithm>
#include <map>

#include "schema/schema.h"
#include "support/temp_dir.h"

namespace qx::crash {
namespace fs = std::filesystem;
using testing::Row;

namespace {

constexpr std::size_t kFaultsKept = 12;

// Columns that differ between two loads of the same files: the keys drawn
// from a sequence and the insert time.
bool differs_between_loads(const schema::Column& column) {
  if (column.type == schema::ColumnType::key_double) return true;
  if (column.type == schema::ColumnType::timestamp) return true;
  return column.type == schema::ColumnType::integer && column.name.ends_with("_reference");
}

std::string comparable_columns(const schema::Table& table) {
  std::string columns;
  for (const auto& column : table.columns) {
    if (differs_between_loads(column)) continue;
    if (!columns.empty()) columns += ", ";
    columns += column.name;
  }
  return columns;
}

std::string show(const Row& row) {
  std::string text;
  for (const auto& value : row) {
    if (!text.empty()) text += "|";
    text += value ? value->substr(0, 24) : "NULL";
  }
  return text.substr(0, 160);
}

std::map<Row, long> multiset(std::vector<Row> rows) {
  std::map<Row, long> counts;
  for (auto& row : rows) ++counts[std::move(row)];
  return counts;
}

}  // namespace

void Tally::fault(long duplicated, long lost, std::string what) {
  duplicates += duplicated;
  losses += lost;
  if (faults.size() < kFaultsKept) faults.push_back(std::move(what));
}

std::string Tally::summary() const {
  return "files " + std::to_string(files) + ", duplicates " + std::to_string(duplicates) +
         ", losses " + std::to_string(losses);
}

std::string Tally::report() const {
  std::string text = summary();
  for (const auto& line : faults) text += "\n  " + line;
  return text;
}

void check_files(const fs::path& pristine, const fs::path& input, const fs::path& backup,
                 Tally& tally) {
  const auto names = file_names(pristine);
  tally.files = static_cast<int>(names.size());
  for (const auto& name : names) {
    if (!fs::exists(backup / name)) {
      tally.fault(0, 1, name + " is not in the backup directory");
    } else if (testing::read_file(backup / name) != testing::read_file(pristine / name)) {
      tally.fault(0, 1, name + " in the backup directory differs from the file dropped");
    }
  }
  for (const auto& name : file_names(input)) {
    tally.fault(1, 0, name + " is still in the input directory");
  }
  for (const auto& name : file_names(backup)) {
    if (!fs::exists(pristine / name)) tally.fault(1, 0, name + " in the backup directory is extra");
  }
}

RowSnapshot snapshot_rows(const testing::TableReader& reader, std::string_view program) {
  std::vector<std::string> names, sqls;
  for (const auto& name : schema::required_tables(program)) {
    const schema::Table* table = schema::find_table(name);
    if (table == nullptr) continue;  // the load history: check_history
    names.push_back(name);
    sqls.push_back("select " + comparable_columns(*table) + " from " + name);
  }
  auto all = reader.rows_of_each(sqls);
  RowSnapshot snapshot;
  for (std::size_t i = 0; i < names.size(); ++i) snapshot[names[i]] = multiset(std::move(all[i]));
  return snapshot;
}

void check_rows(const RowSnapshot& loaded, const RowSnapshot& clean, Tally& tally) {
  const std::map<Row, long> none;
  const auto counted = [](const std::map<Row, long>& rows, const Row& row) {
    auto it = rows.find(row);
    return it == rows.end() ? 0L : it->second;
  };
  for (const auto& [name, want] : clean) {
    auto found = loaded.find(name);
    const auto& got = found == loaded.end() ? none : found->second;
    for (const auto& [row, count] : got) {
      long surplus = count - counted(want, row);
      if (surplus > 0) {
        tally.fault(surplus, 0, name + ": " + std::to_string(surplus) + " surplus " + show(row));
      }
    }
    for (const auto& [row, count] : want) {
      long missing = count - counted(got, row);
      if (missing > 0) {
        tally.fault(0, missing, name + ": " + std::to_string(missing) + " missing " + show(row));
      }
    }
  }
}

void check_history(const testing::TableReader& loaded, const std::vector<std::string>& names,
                   Tally& tally) {
  std::map<std::string, std::vector<std::string>> states;
  for (const auto& row : loaded.rows("select lh_file_name, lh_state from qx_load_history")) {
    states[row[0].value_or("")].push_back(row[1].value_or(""));
  }
  for (const auto& name : names) {
    auto it = states.find(name);
    if (it == states.end()) {
      tally.fault(0, 1, "no load history row for " + name);
      continue;
    }
    const auto& rows = it->second;
    if (rows.size() > 1) {
      tally.fault(static_cast<long>(rows.size()) - 1, 0,
                  std::to_string(rows.size()) + " load history rows for " + name);
    }
    if (std::count(rows.begin(), rows.end(), "loaded") != 1) {
      tally.fault(0, 0, "the load history of " + name + " is not one 'loaded' row");
    }
    states.erase(it);
  }
  for (const auto& [name, rows] : states) {
    tally.fault(static_cast<long>(rows.size()), 0, "load history rows for unknown " + name);
  }
}

std::vector<std::string> file_names(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void copy_files(const fs::path& from, const fs::path& to) {
  for (const auto& name : file_names(from)) {
    fs::copy_file(from / name, to / name, fs::copy_options::overwrite_existing);
  }
}

}  // namespace qx::crash
