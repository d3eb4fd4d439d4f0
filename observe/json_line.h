// One JSON object on one line, for the event log: fields added in order,
// strings escaped so that any log shipper reads them back. File names and
// reasons are bytes: text that is valid UTF-8 is kept, any other text is
// read as Windows-1252 (the interface files' code page) and converted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qx::observe {

// `text` as a JSON string literal, quotes included: quote, backslash and
// control characters escaped, the rest UTF-8 as described above.
std::string json_string(std::string_view text);

// Whether `text` is well-formed UTF-8 (no overlong forms, no surrogates).
bool is_utf8(std::string_view text);

class JsonLine {
 public:
  JsonLine& text(std::string_view key, std::string_view value);
  JsonLine& number(std::string_view key, std::int64_t value);
  JsonLine& decimal(std::string_view key, double value);
  JsonLine& boolean(std::string_view key, bool value);
  // `json` must already be a JSON value (an array, an object).
  JsonLine& raw(std::string_view key, std::string_view json);
  // The object and its line end.
  std::string line() const { return body_ + "}\n"; }

 private:
  JsonLine& key(std::string_view key);
  std::string body_ = "{";
};

}  // namespace qx::observe
