// Rules every backend applies in the same way to a statement's bind values
// and to the one value a query fetches, so that the loaders see one behaviour
// whichever database they write to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/status.h"

namespace qx::db {

// Success when a statement with `placeholders` occurrences gets exactly that
// many bind values; otherwise the failure the statement ends with.
Status check_bind_count(std::size_t placeholders, std::size_t binds);

// Appends a bound text as the databases store it: Windows-1252 read as
// UTF-8, and a NUL byte (which a server text cannot hold) as a blank, the
// way the loaders read one from a file.
void append_bound_text(std::string_view text, std::string& out);
// True when append_bound_text would copy `text` unchanged.
bool bound_as_is(std::string_view text);

Status not_connected();
Status null_fetched();
Status too_many_rows();

// The fetched value of a text query: a NULL or empty value leaves `out`
// empty and is kNullFetched.
Status fetched_text(std::optional<std::string_view> value, std::string& out);

// The fetched value of an integer query, as the text the database returned:
// a NULL or empty value leaves `out` unchanged and is kNullFetched; a whole
// number is taken as it is; a decimal number is rounded half away from zero;
// anything else, or a value beyond 64 bits, is kInvalidNumber.
Status fetched_integer(std::optional<std::string_view> value, std::int64_t& out);

}  // namespace qx::db
