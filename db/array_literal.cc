#include "db/array_literal.h"

#include <charconv>

namespace qx::db {

void array_literal(std::span<const Bind> values, std::size_t first, std::size_t stride,
                   std::string& out) {
  out = "{";
  char number[32];
  for (std::size_t i = first; i < values.size(); i += stride) {
    if (out.size() > 1) out += ',';
    const Bind& value = values[i];
    switch (value.kind()) {
      case Bind::Kind::null:
        out += "NULL";
        break;
      case Bind::Kind::integer:
        out.append(number, std::to_chars(number, number + sizeof number, value.as_integer()).ptr);
        break;
      case Bind::Kind::real:
        out.append(number, std::to_chars(number, number + sizeof number, value.as_real()).ptr);
        break;
      case Bind::Kind::text:
        out += '"';
        for (char c : value.as_text()) {
          if (c == '"' || c == '\\') out += '\\';
          out += c;
        }
        out += '"';
        break;
    }
  }
  out += '}';
}

}  // namespace qx::db
