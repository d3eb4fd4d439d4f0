// Which tables a program needs are missing in its database. A loader creates
// nothing on a server (the DBA applies qx_schema's script), so at start it
// names what is missing and the command that creates it, instead of failing
// on every file with no word why.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "db/target.h"

namespace qx::db {

// Appends to `missing` each of `tables` the session's database lacks, in the
// given order. Each table is probed by a query that reads no row; the
// transaction the probes opened is rolled back. A failure other than a
// missing table (the connection lost, ...) ends the search and is returned.
Status find_missing_tables(Session& session, std::span<const std::string> tables,
                           std::vector<std::string>& missing);

// The line a program prints after connecting to a PostgreSQL `target` when
// tables `program` writes (schema::required_tables) are missing: it names
// them, the database, and the command that creates them. Empty when nothing
// is missing, when the search itself fails (its failure then goes to
// `search_failure` when given), and for SQLite, whose session creates what
// is missing on connect.
std::string missing_tables_notice(Session& session, const Target& target, std::string_view program,
                                  Status* search_failure = nullptr);

// Appends to `lacking` what the session's role may not do that `program`
// needs on a PostgreSQL database ("INSERT, UPDATE on qx_tarvo_m0, ...",
// "USAGE on TARVO_SEQUENCE"): read, insert and update every table it writes,
// and draw from its sequence. The tables must exist (find_missing_tables).
// The transaction the probes opened is rolled back; a failed probe ends the
// search and is returned.
Status find_missing_privileges(Session& session, std::string_view program,
                               std::vector<std::string>& lacking);

// The line that names what the role lacks and the owner's command that
// grants it; empty when nothing is lacking, when the probes fail, and for
// SQLite, which has no privileges.
std::string missing_privileges_notice(Session& session, const Target& target,
                                      std::string_view program);

}  // namespace qx::db
