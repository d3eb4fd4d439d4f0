// Every error number the loaders know, in one table: the number, whether a
// failure of that kind is the row's own fault or the system's, and the text
// a session uses when it reports the failure itself (a backend's failure
// carries the backend's own text instead). The backends map their failures
// onto these numbers (backend_errors.h); the statement steps and the error
// printers compare against them.
#pragma once

#include <array>
#include <string_view>

namespace qx::db {

// What a failed statement means for the file it came from.
enum class FailureClass : unsigned char {
  // The data of that one row (a value too long, an invalid number, a NULL
  // where none is allowed, a constraint of that row): the row is lost, the
  // file goes on.
  row,
  // Not the file's fault (the connection, a missing table, a full or
  // read-only database, ...): the file's transaction is lost and the file is
  // taken up again later. Anything not known to be a row failure is systemic.
  systemic,
};

inline constexpr int kUniqueViolation = -1;
inline constexpr int kTableMissing = -942;
inline constexpr int kColumnMissing = -904;
inline constexpr int kBindExtra = -1006;
inline constexpr int kBindMissing = -1008;
inline constexpr int kCannotInsertNull = -1400;
inline constexpr int kNullFetched = -1405;
inline constexpr int kTooManyRows = -1422;
inline constexpr int kInvalidNumber = -1722;
inline constexpr int kSequenceMissing = -2289;
inline constexpr int kNotConnected = -3114;
inline constexpr int kValueTooLarge = -12899;

struct ErrorNumber {
  int number;
  FailureClass failure_class;
  std::string_view text;
};

inline constexpr std::array<ErrorNumber, 12> kErrorNumbers = {{
    {kUniqueViolation, FailureClass::row, "unique constraint violated"},
    {kTableMissing, FailureClass::systemic, "table does not exist"},
    {kColumnMissing, FailureClass::systemic, "column does not exist"},
    // A statement whose placeholders and bind values do not pair up is the
    // statement's fault, the same for every row.
    {kBindExtra, FailureClass::systemic, "bind variable does not exist"},
    {kBindMissing, FailureClass::systemic, "not all variables bound"},
    {kCannotInsertNull, FailureClass::row, "cannot insert NULL"},
    {kNullFetched, FailureClass::row, "fetched column value is NULL"},
    // A one-row query that returned several rows.
    {kTooManyRows, FailureClass::systemic,
     "exact fetch returns more than requested number of rows"},
    {kInvalidNumber, FailureClass::row, "invalid number"},
    {kSequenceMissing, FailureClass::systemic, "sequence does not exist"},
    {kNotConnected, FailureClass::systemic, "not connected to the database"},
    {kValueTooLarge, FailureClass::row, "value too large for column"},
}};

// The table's entry for `number`; nullptr for a number it does not list.
constexpr const ErrorNumber* find_error_number(int number) {
  for (const auto& entry : kErrorNumbers) {
    if (entry.number == number) return &entry;
  }
  return nullptr;
}

}  // namespace qx::db
