// The statement texts of the load history (load_history.h), each built by
// one rule from the table's columns, for both databases. A file's row is
// found by its identity.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qx::history::statements {

// The columns of a file's row as a claim reads them: its digest, then its
// account (state, key, lines, booking key, the four serials, rows stored,
// rows rejected, first rejected line).
inline constexpr std::size_t kRowColumns = 12;

// The lookup of one file's rows, kRowColumns columns: the row written under
// the file's digest, or rows of its name, size and time written under the
// earlier digest (file_identity.h), for the caller to choose and check.
// Without `with_lock`, :b0 to :b4 the identity and no row when there is
// none. With `with_lock`, no row at all when another session holds the
// file's advisory lock, else the file's rows or one row of NULL columns;
// `with_key` adds a column, a key drawn from the sequence: :b0 the
// sequence, :b1 the lock number, :b2 to :b6 the identity (without
// `with_key`, :b0 the lock number and :b1 to :b5 the identity).
std::string lookup(bool with_lock, bool with_key);

// The claim of many files in one query on a database with advisory locks
// and arrays, in the order given: per file its number (from 1) and, with
// `with_key`, a key drawn for it, without one 0 (NULL when another session
// holds its lock), then its rows as lookup() finds them (kRowColumns
// columns, NULL for none). :b0 the key sequence (with a key only), then the
// arrays of names, sizes, times, digests and lock numbers, then the program.
std::string lookup_all(bool with_key);

// A file's row as its first transaction writes it, in state "loading":
// the identity (:b0 to :b4) and the instance (:b5).
std::string insert();

// A file's row written once, already loaded, with its account: the
// identity (:b0 to :b4), then the values update() sets (:b5 to :b16).
std::string loaded_insert();

// Many files' rows written once, already loaded, from arrays: :b0 the
// program, :b1 the instance, :b2 to :b9 the arrays of names, sizes,
// times, digests, keys, lines, rows stored and rows rejected.
std::string loaded_insert_all();

// The account of a file's row (:b0 to :b11: state, key, lines, booking
// key, the four serials, rows stored, rows rejected, first rejected line,
// instance), found by its identity, which comes last (:b12 to :b16).
std::string update(bool finished);

}  // namespace qx::history::statements
