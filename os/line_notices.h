// How many notices about the lines of one file reach the console: the
// first few of each kind are printed, the rest only counted, and one line
// per kind then tells how many were held back. A file of a million
// over-long records thus prints a handful of lines, not a million.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace qx::os {

// The kinds of notice about a line; each is capped on its own.
enum class Notice {
  line_cut,
  line_dropped,
  nul_byte,
  field_cut,
  fields_dropped,
  continuation_ignored,
  header_short,
};
inline constexpr std::size_t kNoticeKinds = 7;

// How many notices of one kind are printed per file.
inline constexpr std::size_t kNoticesShownPerKind = 5;

// The tally of one file's notices, shared by every copy of a Console.
class LineNotices {
 public:
  // Counts a notice of `kind` about `file`; true when it is to be printed.
  // The tally must have been ended (take_held_back) when `file` is not the
  // file of the notices before.
  bool admit(std::string_view file, Notice kind);
  // The file the notices since the last take_held_back were about; empty
  // when there were none.
  const std::string& file() const { return file_; }
  // "File NAME: 1,234 more 'line cut' notices not shown" for each kind
  // that had more than it printed, each line ended; the tally starts again.
  std::string take_held_back();

 private:
  std::string file_;
  std::array<std::size_t, kNoticeKinds> counts_{};
};

// 1234567 as "1,234,567".
std::string with_thousands(std::size_t number);

}  // namespace qx::os
