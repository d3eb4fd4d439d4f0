// The error numbers the loaders know, from the failures each backend reports.
// A failure whose class has a classic number gets it (a duplicate key is -1
// on either backend); any other keeps the backend's own code, negated. Each
// failure is also classed (error_numbers.h) by the backend's error class:
// the row's data, or the system; a duplicate of a file's identity in the load
// history is a conflict of its own.
#pragma once

#include <string_view>

#include "db/error_numbers.h"

namespace qx::db {

// PostgreSQL, by SQLSTATE: the classic number where one fits, otherwise the
// SQLSTATE read as a number when it is all digits, otherwise -99999.
int postgres_error_number(std::string_view sqlstate);

// True for the SQLSTATEs that mean the connection is gone: class 08 and the
// server shutting the session down (57P01 to 57P03).
bool postgres_connection_lost(std::string_view sqlstate);

// PostgreSQL: data exceptions (class 22) and integrity violations (class
// 23) are the row's; a class 23 failure of the constraint `constraint` named
// after the load history's identity is a history conflict; anything else is
// systemic.
FailureClass postgres_failure_class(std::string_view sqlstate, std::string_view constraint);

// SQLite: a constraint violation, a value too big or of the wrong type is the
// row's (a unique violation of the load history, which SQLite names by its
// columns in `message`, a history conflict); anything else is systemic.
FailureClass sqlite_failure_class(int extended_code, std::string_view message);

// SQLite, by extended result code and message: the classic number where one
// fits, otherwise the extended result code, negated. SQLite reports a missing
// table or column only as a generic error, so those are told by the message.
int sqlite_error_number(int extended_code, std::string_view message);

}  // namespace qx::db
