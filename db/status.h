// The status record every database operation leaves behind: a code (0 on
// success, negative on failure) and a message of at most 70 characters that
// begins with the five-digit error number. Only the statement step and the
// error printers read it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/error_numbers.h"

namespace qx::db {

inline constexpr std::size_t kStatusMessageMax = 70;

struct Status {
  int code = 0;
  std::string message;

  bool ok() const { return code >= 0; }
  bool failed() const { return code < 0; }
  // Not the fault of the row's data: the database cannot take the work now.
  bool systemic() const { return code == kNotConnected; }

  static Status success() { return {}; }
  // Builds a failure whose message is the error number in five digits, ": ",
  // then `text`, cut to kStatusMessageMax characters.
  static Status failure(int code, std::string_view text);
  // The same with the error table's text for `code` (error_numbers.h).
  static Status failure(int code);
};

}  // namespace qx::db
