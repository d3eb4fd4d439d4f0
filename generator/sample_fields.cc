#include "generator/sample_fields.h"

namespace qx::generator {

FixedRecord& FixedRecord::put(int start, int length, std::string_view value) {
  const auto at = static_cast<std::size_t>(start - 1);
  value = value.substr(0, static_cast<std::size_t>(length));
  if (text_.size() < at + value.size()) text_.resize(at + value.size(), ' ');
  text_.replace(at, value.size(), value);
  return *this;
}

std::string FixedRecord::text(std::size_t length) const {
  std::string padded = text_;
  padded.resize(length, ' ');
  return padded;
}

std::string padded(int value, int width) {
  std::string text = std::to_string(value);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), '0');
  return text;
}

std::string flag(SampleRandom& random, std::string_view choices) {
  return std::string(1, choices[random.below(choices.size())]);
}

}  // namespace qx::generator
