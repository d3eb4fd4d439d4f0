// The two forms of the loaders' SQL error printer. Each reads one status
// record and prints it on `out`, or stays silent:
//
//   by code (PNR and MIR loaders): silent on kNullFetched and kInvalidNumber,
//     otherwise "%d %80s\n" (the code, one blank, the message right-aligned
//     in 80 columns);
//   by text (AIR loader): silent when the message contains "01405",
//     otherwise "\n%s\n".
//
// A successful status prints nothing in either form.
#pragma once

#include <cstdio>
#include <string>

#include "db/status.h"

namespace qx::db {

// The exact text each form prints for `status`; empty when it is silent.
std::string format_sql_error_by_code(const Status& status);
std::string format_sql_error_by_text(const Status& status);

void report_sql_error_by_code(const Status& status, std::FILE* out);
void report_sql_error_by_text(const Status& status, std::FILE* out);

}  // namespace qx::db
