// One positional bind value of a statement: NULL, an integer, a double or a
// text. Texts are single-byte Windows-1252 as read from the interface files;
// the backend converts them to UTF-8 when it binds them (a NUL byte, which a
// server text cannot hold, binds as a blank, as the loaders read one). An
// empty text binds as NULL, because empty text and NULL are the same thing to
// the loaders.
//
// A Bind does not own its text: the viewed bytes must outlive the call that
// receives the Bind. A backend that keeps a statement beyond the call copies
// what it needs.
#pragma once

#include <cstdint>
#include <string_view>

namespace qx::db {

class Bind {
 public:
  enum class Kind { null, integer, real, text };

  static constexpr Bind null() { return Bind(); }
  static constexpr Bind integer(std::int64_t v) {
    Bind b;
    b.kind_ = Kind::integer;
    b.integer_ = v;
    return b;
  }
  static constexpr Bind real(double v) {
    Bind b;
    b.kind_ = Kind::real;
    b.real_ = v;
    return b;
  }
  // Empty text becomes NULL here, once, so no backend has to remember the rule.
  static constexpr Bind text(std::string_view v) {
    Bind b;
    if (!v.empty()) {
      b.kind_ = Kind::text;
      b.text_ = v;
    }
    return b;
  }

  constexpr Kind kind() const { return kind_; }
  constexpr std::int64_t as_integer() const { return integer_; }
  constexpr double as_real() const { return real_; }
  constexpr std::string_view as_text() const { return text_; }

 private:
  constexpr Bind() = default;
  Kind kind_ = Kind::null;
  std::int64_t integer_ = 0;
  double real_ = 0;
  std::string_view text_;
};

}  // namespace qx::db
