// The two forms of the loaders' SQL error printer. Each reads one status
// record and gives the text to print, or nothing when it stays silent; the
// caller prints it through its console, so that a batch holding its files'
// lines until its commit is known holds these too, in their order:
//
//   by code (PNR and MIR loaders): silent on kNullFetched and kInvalidNumber,
//     otherwise "%d %80s\n" (the code, one blank, the message right-aligned
//     in 80 columns);
//   by text (AIR loader): silent when the message contains "01405",
//     otherwise "\n%s\n".
//
// A successful status gives nothing in either form.
#pragma once

#include <string>

#include "db/status.h"

namespace qx::db {

// The exact text each form prints for `status`; empty when it is silent.
std::string format_sql_error_by_code(const Status& status);
std::string format_sql_error_by_text(const Status& status);

}  // namespace qx::db
