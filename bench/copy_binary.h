// Rows of one table in the binary form that COPY ... FROM STDIN (FORMAT
// binary) reads, the benchmark's counterpart of the text form the loaders
// send (db/copy_rows.h), so that the two can be measured side by side
// (copy_format.h).
//
// The stream opens with the 11-byte signature, a 32-bit flags field and a
// 32-bit header extension length (both 0); each row is a 16-bit field count,
// then per field a 32-bit length (-1 for NULL) and the value in its column
// type's binary form; a field count of -1 ends it. Every number is
// big-endian.
//
//   bigint      8 bytes          integer    4 bytes
//   double      the IEEE 754 double's 8 bytes
//   varchar, char
//               the text's bytes, converted from the loaders' Windows-1252
//               to UTF-8 as every bound text is (append_bound_text)
//   timestamp   microseconds since 2000-01-01 00:00:00 in 8 bytes, parsed
//               from the text YYYY-MM-DD HH:MM:SS[.ffffff]
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/bind.h"
#include "schema/schema.h"

namespace qx::bench {

class CopyBinaryRows {
 public:
  CopyBinaryRows();
  // Begins a row of `fields` values.
  void begin_row(std::size_t fields);
  // The next value of the row, for a column of `type`. Throws
  // std::invalid_argument for a value the type cannot take.
  void add(const db::Bind& value, schema::ColumnType type);
  // The rows and the trailer; the rows are moved out.
  std::string finish();

 private:
  std::string bytes_;
};

// Microseconds from 2000-01-01 00:00:00 to `text` (YYYY-MM-DD HH:MM:SS with
// up to six digits of fractions). Throws std::invalid_argument otherwise.
std::int64_t timestamp_microseconds(std::string_view text);

}  // namespace qx::bench
