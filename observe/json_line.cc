#include "observe/json_line.h"

#include <cstdio>

#include "db/codepage.h"

namespace qx::observe {

bool is_utf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    char32_t code = 0;
    char32_t least = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, least = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

std::string json_string(std::string_view text) {
  const std::string utf8 = is_utf8(text) ? std::string(text) : db::cp1252_to_utf8(text);
  std::string out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

JsonLine& JsonLine::key(std::string_view key) {
  if (body_.size() > 1) body_ += ',';
  body_ += json_string(key);
  body_ += ':';
  return *this;
}

JsonLine& JsonLine::text(std::string_view k, std::string_view value) {
  key(k).body_ += json_string(value);
  return *this;
}

JsonLine& JsonLine::number(std::string_view k, std::int64_t value) {
  key(k).body_ += std::to_string(value);
  return *this;
}

JsonLine& JsonLine::decimal(std::string_view k, double value) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%.3f", value);
  key(k).body_ += digits;
  return *this;
}

JsonLine& JsonLine::boolean(std::string_view k, bool value) {
  key(k).body_ += value ? "true" : "false";
  return *this;
}

JsonLine& JsonLine::raw(std::string_view k, std::string_view json) {
  key(k).body_ += json;
  return *this;
}

}  // namespace qx::observe
