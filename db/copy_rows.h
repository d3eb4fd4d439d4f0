// Rows of one table in the text form that COPY ... FROM STDIN reads, built
// one value at a time, so that a table's many rows travel as one stream
// (Session::copy_rows) instead of as statements.
//
// A row's values are separated by tabs and the row ends in a newline; NULL
// (or an empty text, which binds as NULL) is \N; in a text a backslash, a
// tab, a newline and a carriage return are written as \\, \t, \n and \r, so
// that every value, "\N" and "NULL" included, stands for itself. Texts stay
// in the loaders' single-byte encoding (bind.h): bytes outside ASCII pass
// through unchanged, and the session converts the whole as it sends it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/bind.h"

namespace qx::db {

class CopyRows {
 public:
  // The next value of the row in hand.
  void add(const Bind& value);
  // Ends the row in hand; the next add() begins a new one.
  void end_row();
  // Adds the rows `other` ended, after those ended here (no row may be in
  // hand): rows built apart travel in one stream.
  void append(const CopyRows& other) {
    text_ += other.text_;
    rows_ += other.rows_;
  }
  // The rows ended so far.
  std::string_view text() const { return text_; }
  std::size_t rows() const { return rows_; }
  void clear() {
    text_.clear();
    rows_ = 0;
    row_open_ = false;
  }

 private:
  std::string text_;
  std::size_t rows_ = 0;
  // A value of the row in hand was added: the next one needs its tab.
  bool row_open_ = false;
};

// One table's rows for Session::copy_tables: the table and the columns the
// rows' values fill, in order ("t (a,b,c)"), and the rows.
struct CopiedTable {
  std::string_view table_and_columns;
  const CopyRows* rows;
};

}  // namespace qx::db
