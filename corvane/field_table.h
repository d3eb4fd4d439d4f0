// The fields of the AIR line being loaded. `split_line` cuts the line at
// ";" into the `field_table`: entry i holds field i, counted from 0, and every
// entry after the last one filled is empty. An entry holds at most
// `entry_limit` characters and the table 512 entries; a longer field is cut
// to the limit and the fields after the 512th are dropped, each reported.
//
// Entries view the line they were cut from and live as long as it does.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace qx::corvane {

inline constexpr std::size_t kFieldTableEntries = 512;

// What split_line had to do to make a line fit the table.
struct SplitReport {
  struct Cut {
    std::size_t field;   // 0-based
    std::size_t length;  // before the cut
  };
  std::vector<Cut> cut_fields;
  std::size_t dropped_fields = 0;

  bool empty() const { return cut_fields.empty() && dropped_fields == 0; }
};

class FieldTable {
 public:
  explicit FieldTable(std::size_t entry_limit) : entry_limit_(entry_limit) {}

  std::size_t entry_limit() const { return entry_limit_; }
  std::size_t field_count() const { return field_count_; }
  // Entry i; empty text past the fields of the line.
  std::string_view entry(std::size_t i) const { return entries_[i]; }

  // Fills the table from one line. Splitting stops at the end of the line,
  // after a ";" that ends it, or where the rest of the line begins with a
  // carriage return or a line feed.
  void split_line(std::string_view text, SplitReport& report);

 private:
  void add(std::string_view field, SplitReport& report);

  std::size_t entry_limit_;
  std::size_t field_count_ = 0;
  std::array<std::string_view, kFieldTableEntries> entries_{};
};

}  // namespace qx::corvane
