// The status record every database operation leaves behind: a code (0 on
// success, negative on failure), a message of at most 70 characters that
// begins with the five-digit error number, and for a failure its class: the
// row's own fault, the system's, or a conflict on the load history's file
// identity (error_numbers.h). The error printers read code and message only.
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
  // Meaningful only when failed().
  FailureClass failure_class = FailureClass::systemic;

  bool ok() const { return code >= 0; }
  bool failed() const { return code < 0; }
  // A failure that loses only the row it came from.
  bool row_failure() const { return failed() && failure_class == FailureClass::row; }
  // A failure that is not the file's fault: the file is taken up again later.
  bool systemic() const { return failed() && failure_class == FailureClass::systemic; }
  // The load history already holds the file: another instance claimed it.
  bool history_conflict() const {
    return failed() && failure_class == FailureClass::history_conflict;
  }

  static Status success() { return {}; }
  // Builds a failure whose message is the error number in five digits, ": ",
  // then `text`, cut to kStatusMessageMax characters.
  // Its class is the error table's for `code`, systemic for a number the
  // table does not list.
  static Status failure(int code, std::string_view text);
  // The same with the error table's text for `code` (error_numbers.h).
  static Status failure(int code);
  // A backend's failure, classed by the backend's own error class.
  static Status failure(int code, std::string_view text, FailureClass failure_class);
};

}  // namespace qx::db
