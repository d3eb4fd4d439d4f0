// Array values as a database that binds arrays reads them in text form:
// {1,2,3} or {"a","b\"c",NULL}. Many rows of one column then travel as one
// bind value, and one statement takes them all (unnest).
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "db/bind.h"

namespace qx::db {

// Writes every `stride`-th value of `values`, from `first` on, as one array
// literal into `out` (emptied first). Texts are quoted, with '"' and '\'
// escaped; a NULL (or an empty text, which binds as NULL) is NULL.
void array_literal(std::span<const Bind> values, std::size_t first, std::size_t stride,
                   std::string& out);

}  // namespace qx::db
