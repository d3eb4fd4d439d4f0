// The rows of one record type filed from the file being loaded: the
// `record_table` of the type and its `record_count`. Rows are filled in file
// order by file_line(), read by the load, and emptied by clear().
//
// Slot values are views: into the filed line (so into the file's bytes,
// which must live until the rows are cleared) or into the layout's constant
// texts. Room for row_capacity rows of one slot per inserted column is taken
// once, when the table is built; filing allocates nothing.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "records/record_type.h"

namespace qx::records {

// A rest-of-line value that was longer than its slot's limit and was cut.
struct SlotCut {
  std::size_t slot;
  std::size_t length;  // before the cut
  std::size_t kept;    // the slot's limit
};

class RecordTable {
 public:
  explicit RecordTable(const RecordType& type);

  const RecordType& type() const { return *type_; }
  std::size_t record_count() const { return record_count_; }
  bool full() const { return record_count_ == type_->row_capacity; }

  // Files `line` as the next row: every slot of the layout from the line,
  // with the database's SUBSTR semantics (a field past the end of the line
  // is empty, one that runs past the end keeps what is there). Rest-of-line
  // values longer than their limit are cut and listed in `cuts` (which is
  // emptied first). Returns false, and changes nothing, when the table
  // already holds row_capacity rows. `line_number` is kept as the row's
  // line, for naming the line of a row the database refuses.
  bool file_line(std::string_view line, std::vector<SlotCut>& cuts, std::size_t line_number = 0);
  // The line of the file row `row` was filed from; 0 when not given.
  std::size_t line_of(std::size_t row) const { return lines_[row]; }

  // Slot `slot` of row `row`; row < record_count(), slot < inserted_columns().
  std::string_view slot(std::size_t row, std::size_t slot) const {
    return slots_[row * width() + slot];
  }
  // Puts a value into a slot of a filed row (a continuation line's text);
  // the view must live until clear().
  void set_slot(std::size_t row, std::size_t slot, std::string_view value) {
    slots_[row * width() + slot] = value;
  }

  // Empties every filed row and sets record_count to 0.
  void clear();

 private:
  std::size_t width() const { return type_->inserted_columns(); }

  const RecordType* type_;
  std::size_t record_count_ = 0;
  std::vector<std::string_view> slots_;
  std::vector<std::size_t> lines_;
};

}  // namespace qx::records
