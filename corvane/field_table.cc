#include "corvane/field_table.h"

#include "db/text_primitives.h"

namespace qx::corvane {

void FieldTable::split_line(std::string_view text, SplitReport& report) {
  entries_.fill({});
  field_count_ = 0;
  report = {};
  std::string_view remainder = text;
  while (!remainder.empty()) {
    if (remainder.front() == '\r' || remainder.front() == '\n') return;
    std::int64_t separator = db::instr(remainder, ";", 1);
    if (separator == 0) {
      add(remainder, report);
      return;
    }
    add(db::substr(remainder, 1, separator - 1), report);
    remainder = db::substr(remainder, separator + 1);
  }
}

void FieldTable::add(std::string_view field, SplitReport& report) {
  if (field_count_ == kFieldTableEntries) {
    ++report.dropped_fields;
    return;
  }
  if (field.size() > entry_limit_) {
    report.cut_fields.push_back({field_count_, field.size()});
    field = field.substr(0, entry_limit_);
  }
  entries_[field_count_++] = field;
}

}  // namespace qx::corvane
