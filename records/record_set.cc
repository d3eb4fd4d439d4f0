#include "records/record_set.h"

namespace qx::records {

RecordSet::RecordSet(std::span<const RecordType> types) {
  tables_.reserve(types.size());
  for (const auto& type : types) tables_.emplace_back(type);
}

RecordTable* RecordSet::find(std::string_view tag) {
  for (auto& table : tables_) {
    if (table.type().tag == tag) return &table;
  }
  return nullptr;
}

void RecordSet::clear() {
  for (auto& table : tables_) table.clear();
}

}  // namespace qx::records
