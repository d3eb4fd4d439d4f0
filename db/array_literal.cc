#include "db/array_literal.h"

#include <charconv>

namespace qx::db {

bool append_number(const Bind& value, std::string& out) {
  char number[32];
  switch (value.kind()) {
    case Bind::Kind::integer:
      out.append(number, std::to_chars(number, number + sizeof number, value.as_integer()).ptr);
      return true;
    case Bind::Kind::real:
      out.append(number, std::to_chars(number, number + sizeof number, value.as_real()).ptr);
      return true;
    case Bind::Kind::null:
    case Bind::Kind::text:
      break;
  }
  return false;
}

void ArrayLiteral::append(const ArrayLiteral& other) {
  if (other.size_ == 0) return;
  if (size_ > 0) text_ += ',';
  // The elements between the braces.
  const std::size_t end = other.closed_ ? other.text_.size() - 1 : other.text_.size();
  text_.append(other.text_, 1, end - 1);
  size_ += other.size_;
}

void ArrayLiteral::add(const Bind& value) {
  if (size_++ > 0) text_ += ',';
  if (value.kind() == Bind::Kind::null) {
    text_ += "NULL";
    return;
  }
  if (append_number(value, text_)) return;
  const std::string_view text = value.as_text();
  text_ += '"';
  std::size_t start = 0;
  for (std::size_t at = text.find_first_of("\"\\"); at != std::string_view::npos;
       at = text.find_first_of("\"\\", at + 1)) {
    text_.append(text.substr(start, at - start));
    text_ += '\\';
    start = at;
  }
  text_.append(text.substr(start));
  text_ += '"';
}

void array_literal(std::span<const Bind> values, std::size_t first, std::size_t stride,
                   std::string& out) {
  ArrayLiteral literal;
  for (std::size_t i = first; i < values.size(); i += stride) literal.add(values[i]);
  out = literal.text();
}

}  // namespace qx::db
