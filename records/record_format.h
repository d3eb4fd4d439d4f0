// A fixed-record file format as data: its record types, how many of a
// record's first characters name its type, how a file of it is keyed and
// its header marked, and how a header record is split off the front of a
// file. The PNR and MIR loaders differ in these values (and in PNR's
// continuation lines, fixed_record_loader.h); the filing, loading and file
// handling written against this shape serve both.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "records/record_type.h"

namespace qx::records {

// How a file of the format is keyed and its header marked.
struct LoadPlan {
  std::string_view sequence;  // "TARVO_SEQUENCE"
  // Run after the inserts with the file's key as :b0; marks the header.
  std::string_view header_update;
  // The first type (the header) is cleared after the others instead of
  // before them.
  bool header_cleared_last = false;
  // The same update for many files at once, on a database that binds
  // arrays: :b0 is an array of their keys.
  std::string_view header_update_all = {};
};

// The longest record kept; a longer one is cut to it (and the cut named).
inline constexpr std::size_t kLineLimit = 8191;

// Moves the header record, when the file's text begins with one, from the
// front of `body` into `header` (emptied first), together with the record
// end that closes it; `body` keeps the records after it. A file without a
// header leaves `body` as it is and `header` empty. Returns whether the
// header ended before its full length (told by the file handling).
using HeaderSplit = bool (*)(std::string& body, std::string& header);

struct RecordFormat {
  // The type order of inserting (and, but for LoadPlan's header rule, of
  // clearing).
  std::span<const RecordType> types;
  // The characters of a record that name its type.
  std::size_t tag_length = 0;
  LoadPlan plan;
  // Null: every record of the file ends at a record end alike.
  HeaderSplit take_header = nullptr;
};

}  // namespace qx::records
