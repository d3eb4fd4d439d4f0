// The error numbers the loaders know, from the failures each backend reports.
// A failure whose class has a classic number gets it (a duplicate key is -1
// on either backend); any other keeps the backend's own code, negated.
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

// SQLite, by extended result code and message: the classic number where one
// fits, otherwise the extended result code, negated. SQLite reports a missing
// table or column only as a generic error, so those are told by the message.
int sqlite_error_number(int extended_code, std::string_view message);

}  // namespace qx::db
