#include "db/codepage.h"

#include <cstdint>
#include <cstring>

namespace qx::db {
namespace {

// Code points of the bytes 0x80 to 0x9F, the only range where Windows-1252
// differs from Latin-1. The five undefined bytes keep their own number.
constexpr std::uint16_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

std::uint32_t code_point(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80] : byte;
}

void append_utf8(std::uint32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool is_ascii(std::string_view text) {
  // Eight bytes at a time: every value of every row passes through here.
  std::uint64_t seen = 0;
  std::size_t i = 0;
  for (; i + 8 <= text.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + i, 8);
    seen |= word;
  }
  for (; i < text.size(); ++i) seen |= static_cast<unsigned char>(text[i]);
  return (seen & 0x8080808080808080ull) == 0;
}

void append_cp1252_as_utf8(std::string_view text, std::string& out) {
  if (is_ascii(text)) {
    out.append(text);
    return;
  }
  out.reserve(out.size() + text.size() * 2);
  // Runs of ASCII bytes go as they are; each other byte is converted.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) continue;
    out.append(text.substr(run, i - run));
    append_utf8(code_point(c), out);
    run = i + 1;
  }
  out.append(text.substr(run));
}

std::string cp1252_to_utf8(std::string_view text) {
  std::string out;
  append_cp1252_as_utf8(text, out);
  return out;
}

}  // namespace qx::db
