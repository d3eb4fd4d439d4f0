// The error numbers the loaders know, from the failures each backend reports.
// A failure whose class has a classic number gets it (a duplicate key is -1
// on either backend); any other keeps the backend's own code, negated. Each
// failure is also classed (error_numbers.h) by the backend's error class:
// the row's data, or the system; a failed constraint also names its table
// where the backend says which, so that the owner of a table can tell its
// own conflicts (the load history's, history/load_history.h).
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
// 23) are the row's; anything else is systemic.
FailureClass postgres_failure_class(std::string_view sqlstate);

// SQLite: a constraint violation, a value too big or of the wrong type is the
// row's; anything else is systemic.
FailureClass sqlite_failure_class(int extended_code);

// SQLite names a failed constraint by its columns in `message`
// ("UNIQUE constraint failed: TABLE.COLUMN, ..."): the table of a
// constraint failure (`extended_code`), empty for any other failure or a
// message that names no table.
std::string_view sqlite_constraint_table(int extended_code, std::string_view message);

// SQLite, by extended result code and message: the classic number where one
// fits, otherwise the extended result code, negated. SQLite reports a missing
// table or column only as a generic error, so those are told by the message.
int sqlite_error_number(int extended_code, std::string_view message);

}  // namespace qx::db
