#include "db/backend_errors.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <string>

#include "db/status.h"

namespace qx::db {
namespace {

struct SqlstateNumber {
  std::string_view sqlstate;
  int number;
};

constexpr std::array<SqlstateNumber, 6> kPostgresNumbers = {{
    {"23505", kUniqueViolation},
    {"42P01", kTableMissing},
    {"42703", kColumnMissing},
    {"22001", kValueTooLarge},
    {"23502", kCannotInsertNull},
    {"22P02", kInvalidNumber},
}};

// The server ends the session: shut down (57P01 to 57P03), or a session
// idle in a transaction or idle for longer than the server allows.
constexpr std::array<std::string_view, 5> kPostgresSessionEnded = {"57P01", "57P02", "57P03",
                                                                   "25P03", "57P05"};

struct SqliteCodeNumber {
  int extended_code;
  int number;
};

constexpr std::array<SqliteCodeNumber, 4> kSqliteNumbers = {{
    {SQLITE_CONSTRAINT_UNIQUE, kUniqueViolation},
    {SQLITE_CONSTRAINT_PRIMARYKEY, kUniqueViolation},
    {SQLITE_CONSTRAINT_NOTNULL, kCannotInsertNull},
    {SQLITE_TOOBIG, kValueTooLarge},
}};

struct SqliteMessageNumber {
  std::string_view fragment;
  int number;
};

constexpr std::array<SqliteMessageNumber, 3> kSqliteMessages = {{
    {"no such table", kTableMissing},
    {"no such column", kColumnMissing},
    {"has no column named", kColumnMissing},
}};

bool all_digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool postgres_connection_lost(std::string_view sqlstate) {
  return sqlstate.starts_with("08") ||
         std::find(kPostgresSessionEnded.begin(), kPostgresSessionEnded.end(), sqlstate) !=
             kPostgresSessionEnded.end();
}

int postgres_error_number(std::string_view sqlstate) {
  if (postgres_connection_lost(sqlstate)) return kNotConnected;
  for (const auto& entry : kPostgresNumbers) {
    if (entry.sqlstate == sqlstate) return entry.number;
  }
  if (!all_digits(sqlstate)) return -99999;
  int value = 0;
  for (char c : sqlstate) value = value * 10 + (c - '0');
  return -value;
}

FailureClass postgres_failure_class(std::string_view sqlstate) {
  if (sqlstate.starts_with("22") || sqlstate.starts_with("23")) return FailureClass::row;
  return FailureClass::systemic;
}

FailureClass sqlite_failure_class(int extended_code) {
  switch (extended_code & 0xFF) {
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_MISMATCH:
      return FailureClass::row;
    default:
      return FailureClass::systemic;
  }
}

std::string_view sqlite_constraint_table(int extended_code, std::string_view message) {
  if ((extended_code & 0xFF) != SQLITE_CONSTRAINT) return {};
  constexpr std::string_view kNamed = "constraint failed: ";
  const auto named = message.find(kNamed);
  if (named == std::string_view::npos) return {};
  const std::string_view first = message.substr(named + kNamed.size());
  const auto dot = first.find('.');
  const auto end = first.find_first_of(", ");
  if (dot == std::string_view::npos || (end != std::string_view::npos && end < dot)) return {};
  return first.substr(0, dot);
}

int sqlite_error_number(int extended_code, std::string_view message) {
  for (const auto& entry : kSqliteNumbers) {
    if (entry.extended_code == extended_code) return entry.number;
  }
  if (extended_code == SQLITE_ERROR) {
    for (const auto& entry : kSqliteMessages) {
      if (message.find(entry.fragment) != std::string_view::npos) return entry.number;
    }
  }
  return -extended_code;
}

}  // namespace qx::db
