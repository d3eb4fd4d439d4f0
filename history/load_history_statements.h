// The statement texts of the load history (load_history.h), each built by
// one rule from the table's columns, for both databases. A file's row is
// found by its identity.
#pragma once

#include <string>
#include <string_view>

namespace qx::history::statements {

// A claim's answer for a file without a row.
inline constexpr std::string_view kNoRow = "new";

// The lookup of one file's row as text (kNoRow for none), its digest
// first: the row written under the file's digest, or else one of its name,
// size and time written under the earlier digest (file_identity.h), for
// the caller to check. The identity binds :b0 to :b4; `with_key` draws a
// key from the sequence in :b5 into the answer (";KEY"); `with_lock`
// answers no row at all when another session holds the file's advisory
// lock (named by the last placeholder).
std::string lookup(bool with_lock, bool with_key);

// The claim of many files in one query on a database with advisory locks
// and arrays: per file, in the order given, "busy" or its row and a key
// drawn for it, the answers joined by '|'; rows are found as lookup()
// finds them. :b0 the program, :b1 the key sequence, :b2 to :b6 the
// arrays of names, sizes, times, digests and lock numbers.
std::string lookup_all();

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
