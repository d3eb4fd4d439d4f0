// The per-field design's traffic for the fixed-position loaders: for each
// line the tag query, the constant of slot 0, one query per field of the
// line's layout and the constant that records the last tag; after a file's
// load one null fill per filed row. The loader's own code files and loads
// the rows; this only adds the queries that design asks.
#pragma once

#include <span>
#include <string_view>

#include "per_field_queries.h"
#include "records/record_format.h"

namespace qx::bench {

class RecordPerField {
 public:
  RecordPerField(PerFieldQueries& queries, const records::RecordFormat& format)
      : queries_(queries), types_(format.types), tag_length_(format.tag_length) {}

  // The queries for one line; a line of no type asks for its tag only.
  void cut_line(std::string_view line);

 private:
  PerFieldQueries& queries_;
  std::span<const records::RecordType> types_;
  std::size_t tag_length_;
};

}  // namespace qx::bench
