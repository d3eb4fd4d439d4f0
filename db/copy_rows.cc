#include "db/copy_rows.h"

#include "db/array_literal.h"

namespace qx::db {

void CopyRows::add(const Bind& value) {
  if (row_open_) text_ += '\t';
  row_open_ = true;
  if (value.kind() == Bind::Kind::null) {
    text_ += "\\N";
    return;
  }
  if (append_number(value, text_)) return;
  const std::string_view text = value.as_text();
  std::size_t start = 0;
  for (std::size_t at = text.find_first_of("\\\t\n\r"); at != std::string_view::npos;
       at = text.find_first_of("\\\t\n\r", start)) {
    text_.append(text.substr(start, at - start));
    text_ += '\\';
    switch (text[at]) {
      case '\t':
        text_ += 't';
        break;
      case '\n':
        text_ += 'n';
        break;
      case '\r':
        text_ += 'r';
        break;
      default:
        text_ += '\\';
        break;
    }
    start = at + 1;
  }
  text_.append(text.substr(start));
}

void CopyRows::end_row() {
  text_ += '\n';
  ++rows_;
  row_open_ = false;
}

}  // namespace qx::db
