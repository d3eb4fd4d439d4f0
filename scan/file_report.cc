#include "scan/file_report.h"

namespace qx::scan {

void RowTally::stored(std::string_view table, std::int64_t rows) {
  for (TableRows& entry : tables) {
    if (entry.table == table) {
      entry.rows += rows;
      return;
    }
  }
  tables.push_back({std::string(table), rows});
}

void RowTally::rejected(std::int64_t line) {
  if (line > 0 && rejected_lines.size() < kRejectedLinesKept) rejected_lines.push_back(line);
}

std::string_view outcome_name(FileReport::Outcome outcome) {
  switch (outcome) {
    case FileReport::Outcome::loaded:
      return "loaded";
    case FileReport::Outcome::moved_earlier:
      return "moved earlier";
    case FileReport::Outcome::failed:
      return "failed";
    case FileReport::Outcome::waiting:
      break;
  }
  return "waiting";
}

std::string_view set_aside_name(FileReport::SetAside reason) {
  switch (reason) {
    case FileReport::SetAside::too_large:
      return "too_large";
    case FileReport::SetAside::no_known_record:
      return "no_known_record";
    case FileReport::SetAside::unparsable:
      return "unparsable";
    case FileReport::SetAside::unreadable:
      return "unreadable";
    case FileReport::SetAside::refused:
      return "refused";
    case FileReport::SetAside::unexpected:
      break;
  }
  return "unexpected";
}

}  // namespace qx::scan
