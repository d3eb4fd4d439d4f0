// The status record every database operation leaves behind: a code (0 on
// success, negative on failure), a message of at most 70 characters that
// begins with the five-digit error number, and for a failure its class: the
// row's own fault or the system's (error_numbers.h), and for a failed
// constraint the table the backend names. The error printers read code and
// message only.
//
// A Status is a result that must be looked at: dropping one is a compile
// error, and a caller that has nothing to do with a failure says why at the
// call with `(void)`.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "db/error_numbers.h"

namespace qx::db {

inline constexpr std::size_t kStatusMessageMax = 70;

class [[nodiscard]] Status {
 public:
  Status() = default;

  // Read as fields: the error printers and the tests compare them directly.
  int code = 0;
  std::string message;

  bool ok() const { return code >= 0; }
  bool failed() const { return code < 0; }
  // Meaningful only when failed().
  FailureClass failure_class() const { return failure_class_; }
  // A failure that loses only the row it came from.
  bool row_failure() const { return failed() && failure_class_ == FailureClass::row; }
  // A failure that is not the file's fault: the file is taken up again later.
  bool systemic() const { return failed() && failure_class_ == FailureClass::systemic; }
  // The table whose constraint the failed statement broke, as the backend
  // names it; empty when it names none (or for any other failure).
  const std::string& constraint_table() const { return constraint_table_; }

  static Status success() { return {}; }
  // Builds a failure whose message is the error number in five digits, ": ",
  // then `text`, cut to kStatusMessageMax characters.
  // Its class is the error table's for `code`, systemic for a number the
  // table does not list.
  static Status failure(int code, std::string_view text);
  // The same with the error table's text for `code` (error_numbers.h).
  static Status failure(int code);
  // A backend's failure, classed by the backend's own error class, with the
  // table of a failed constraint when the backend names one.
  static Status failure(int code, std::string_view text, FailureClass failure_class,
                        std::string_view constraint_table = {});

 private:
  FailureClass failure_class_ = FailureClass::systemic;
  std::string constraint_table_;
};

}  // namespace qx::db
