// The record tables of one loader, one per record type, in the loader's
// type order (the order rows are inserted in). The set owns its tables; the
// record types it was built from must outlive it.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>
#include <vector>

#include "records/record_table.h"
#include "records/record_type.h"

namespace qx::records {

class RecordSet {
 public:
  explicit RecordSet(std::span<const RecordType> types);

  // The table of the type whose tag equals `tag` exactly; nullptr when none.
  RecordTable* find(std::string_view tag);
  RecordTable& table(std::size_t index) { return tables_[index]; }
  const RecordTable& table(std::size_t index) const { return tables_[index]; }
  std::span<RecordTable> tables() { return tables_; }
  std::span<const RecordTable> tables() const { return tables_; }

  // Empties every table (clear() of each).
  void clear();

 private:
  std::vector<RecordTable> tables_;
};

}  // namespace qx::records
