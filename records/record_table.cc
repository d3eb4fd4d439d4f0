#include "records/record_table.h"

#include <algorithm>

#include "db/text_primitives.h"

namespace qx::records {

RecordTable::RecordTable(const RecordType& type)
    : type_(&type),
      slots_(type.row_capacity * type.inserted_columns()),
      lines_(type.row_capacity) {}

bool RecordTable::file_line(std::string_view line, std::vector<SlotCut>& cuts,
                            std::size_t line_number) {
  cuts.clear();
  if (full()) return false;
  auto row = slots_.begin() + static_cast<std::ptrdiff_t>(record_count_ * width());
  for (std::size_t k = 0; k < type_->layout.size(); ++k) {
    const Slot& slot = type_->layout[k];
    std::string_view value;
    switch (slot.kind) {
      case Slot::Kind::constant:
        value = slot.constant;
        break;
      case Slot::Kind::cut:
        value = db::substr(line, slot.start, slot.length);
        break;
      case Slot::Kind::rest_of_line: {
        value = db::substr(line, slot.start);
        auto limit = static_cast<std::size_t>(slot.length);
        if (value.size() > limit) {
          cuts.push_back({k, value.size(), limit});
          value = value.substr(0, limit);
        }
        break;
      }
      case Slot::Kind::unfilled:
        break;
    }
    row[static_cast<std::ptrdiff_t>(k)] = value;
  }
  lines_[record_count_] = line_number;
  ++record_count_;
  return true;
}

void RecordTable::clear() {
  std::fill_n(slots_.begin(), record_count_ * width(), std::string_view());
  record_count_ = 0;
}

}  // namespace qx::records
