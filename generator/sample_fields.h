// Field texts shared by the sample formats: records built at fixed
// positions, zero-padded numbers and one-letter flags. Every random draw
// goes through the SampleRandom passed in, so a seed gives the same bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "generator/sample_random.h"

namespace qx::generator {

// A record written field by field at fixed positions counted from 1; the
// gaps between fields are blanks, and a value longer than its field is cut.
class FixedRecord {
 public:
  explicit FixedRecord(std::string_view tag) : text_(tag) {}

  // Writes `value`, cut to `length`, from position `start` on.
  FixedRecord& put(int start, int length, std::string_view value);

  // The record without trailing blanks.
  std::string text() const { return text_.substr(0, text_.find_last_not_of(' ') + 1); }
  // The record padded with blanks, or cut, to `length` characters.
  std::string text(std::size_t length) const;

 private:
  std::string text_;
};

// `value` in decimal with leading zeros to `width` digits; wider values
// keep all their digits.
std::string padded(int value, int width);

// One of the characters of `choices`, drawn with equal chances.
std::string flag(SampleRandom& random, std::string_view choices);

}  // namespace qx::generator
