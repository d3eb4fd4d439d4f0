#include "copy_binary.h"

#include <bit>
#include <charconv>
#include <chrono>
#include <stdexcept>
#include <type_traits>

#include "db/statement_rules.h"

namespace qx::bench {
namespace {

constexpr std::string_view kSignature("PGCOPY\n\377\r\n\0", 11);

template <class Integer>
void append_big_endian(Integer value, std::string& out) {
  auto bits = static_cast<std::make_unsigned_t<Integer>>(value);
  for (int shift = 8 * (sizeof bits - 1); shift >= 0; shift -= 8) {
    out += static_cast<char>((bits >> shift) & 0xFF);
  }
}

// The digits of text[at, at + width) as a number; throws when they are not
// all digits.
int digits(std::string_view text, std::size_t at, std::size_t width) {
  int value = 0;
  const char* first = text.data() + at;
  if (at + width > text.size() ||
      std::from_chars(first, first + width, value).ptr != first + width || *first == '-') {
    throw std::invalid_argument("not a timestamp: " + std::string(text));
  }
  return value;
}

void expect_char(std::string_view text, std::size_t at, char c) {
  if (at >= text.size() || text[at] != c) {
    throw std::invalid_argument("not a timestamp: " + std::string(text));
  }
}

}  // namespace

std::int64_t timestamp_microseconds(std::string_view text) {
  expect_char(text, 4, '-');
  expect_char(text, 7, '-');
  expect_char(text, 10, ' ');
  expect_char(text, 13, ':');
  expect_char(text, 16, ':');
  using namespace std::chrono;
  const year_month_day date{year(digits(text, 0, 4)), month(digits(text, 5, 2)),
                            day(digits(text, 8, 2))};
  if (!date.ok()) throw std::invalid_argument("not a timestamp: " + std::string(text));
  const auto since = sys_days(date) - sys_days(year(2000) / January / 1);
  std::int64_t micro =
      duration_cast<microseconds>(since + hours(digits(text, 11, 2)) +
                                  minutes(digits(text, 14, 2)) + seconds(digits(text, 17, 2)))
          .count();
  if (text.size() > 19) {
    expect_char(text, 19, '.');
    const std::size_t width = text.size() - 20;
    if (width == 0 || width > 6)
      throw std::invalid_argument("not a timestamp: " + std::string(text));
    int fraction = digits(text, 20, width);
    for (std::size_t i = width; i < 6; ++i) fraction *= 10;
    micro += fraction;
  }
  return micro;
}

CopyBinaryRows::CopyBinaryRows() {
  bytes_ = kSignature;
  append_big_endian(std::int32_t{0}, bytes_);  // flags: no OIDs
  append_big_endian(std::int32_t{0}, bytes_);  // no header extension
}

void CopyBinaryRows::begin_row(std::size_t fields) {
  append_big_endian(static_cast<std::int16_t>(fields), bytes_);
}

void CopyBinaryRows::add(const db::Bind& value, schema::ColumnType type) {
  using schema::ColumnType;
  using Kind = db::Bind::Kind;
  if (value.kind() == Kind::null) {
    append_big_endian(std::int32_t{-1}, bytes_);
    return;
  }
  const bool number = value.kind() == Kind::integer || value.kind() == Kind::real;
  const bool text = value.kind() == Kind::text;
  switch (type) {
    case ColumnType::integer:
      if (value.kind() != Kind::integer) break;
      append_big_endian(std::int32_t{8}, bytes_);
      append_big_endian(value.as_integer(), bytes_);
      return;
    case ColumnType::integer32:
      if (value.kind() != Kind::integer ||
          value.as_integer() != static_cast<std::int32_t>(value.as_integer()))
        break;
      append_big_endian(std::int32_t{4}, bytes_);
      append_big_endian(static_cast<std::int32_t>(value.as_integer()), bytes_);
      return;
    case ColumnType::key_double:
      if (!number) break;
      append_big_endian(std::int32_t{8}, bytes_);
      append_big_endian(std::bit_cast<std::int64_t>(value.kind() == Kind::real
                                                        ? value.as_real()
                                                        : static_cast<double>(value.as_integer())),
                        bytes_);
      return;
    case ColumnType::timestamp:
      if (!text) break;
      append_big_endian(std::int32_t{8}, bytes_);
      append_big_endian(timestamp_microseconds(value.as_text()), bytes_);
      return;
    case ColumnType::text:
    case ColumnType::fixed_text:
    case ColumnType::flag: {
      if (!text) break;
      // The length goes in front once the converted bytes are counted.
      const std::size_t length_at = bytes_.size();
      append_big_endian(std::int32_t{0}, bytes_);
      db::append_bound_text(value.as_text(), bytes_);
      std::string length;
      append_big_endian(static_cast<std::int32_t>(bytes_.size() - length_at - 4), length);
      bytes_.replace(length_at, 4, length);
      return;
    }
  }
  throw std::invalid_argument("a value its column's type cannot take");
}

std::string CopyBinaryRows::finish() {
  append_big_endian(std::int16_t{-1}, bytes_);
  return std::move(bytes_);
}

}  // namespace qx::bench
