#include "db/missing_tables.h"

#include <algorithm>
#include <iterator>
#include <utility>

#include "db/transaction.h"
#include "schema/schema.h"

namespace qx::db {
namespace {

// Where the grants script is installed with the package.
constexpr std::string_view kGrantsScript = "/usr/share/doc/qx-loaders/examples/grants.sql";

// The psql arguments that reach the same database as `target`. They name no
// login: the schema and the grants are applied by the tables' owner, not by
// the loader's own role, which may only read, insert and update.
std::string psql_database(const Target& target) {
  std::string arguments;
  switch (target.kind) {
    case Target::Kind::postgres_uri:
      // The display drops the password; it begins with "USER@".
      arguments += " -d '" + target.display().substr(target.user.size() + 1) + "'";
      break;
    case Target::Kind::postgres_service:
      arguments += " -d service=" + target.location;
      break;
    case Target::Kind::postgres_default:
    case Target::Kind::sqlite:
      break;
  }
  return arguments;
}

std::string joined(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& name : names) out += (out.empty() ? "" : ", ") + name;
  return out;
}

// The table privileges a loader uses, one bit each in the probe's answer.
constexpr std::string_view kTablePrivileges[] = {"SELECT", "INSERT", "UPDATE"};

// One bit per privilege of kTablePrivileges the session's role lacks on
// `table`.
std::string table_privilege_probe(const std::string& table) {
  std::string sql = "select 0";
  int bit = 1;
  for (std::string_view privilege : kTablePrivileges) {
    sql += " + case when has_table_privilege('" + table + "', '" + std::string(privilege) +
           "') then 0 else " + std::to_string(bit) + " end";
    bit *= 2;
  }
  return sql;
}

std::string privileges_of(std::int64_t lacking) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < std::size(kTablePrivileges); ++i) {
    if (lacking & (std::int64_t{1} << i)) names.emplace_back(kTablePrivileges[i]);
  }
  return joined(names);
}

}  // namespace

Status find_missing_tables(Session& session, std::span<const std::string> tables,
                           std::vector<std::string>& missing) {
  // Only read: given up when the search ends.
  Transaction search(session);
  Status result;
  for (const auto& table : tables) {
    std::int64_t rows = 0;
    const auto status =
        session.query_integer("select count(*) from " + table + " where 1=0", {}, rows);
    if (status.code == kTableMissing) {
      missing.push_back(table);
    } else if (status.failed()) {
      result = status;
      break;
    }
  }
  return result;
}

std::string missing_tables_notice(Session& session, const Target& target, std::string_view program,
                                  Status* search_failure) {
  if (target.kind == Target::Kind::sqlite) return {};
  const auto required = schema::required_tables(program);
  std::vector<std::string> missing;
  const Status searched = find_missing_tables(session, required, missing);
  if (searched.failed() && search_failure != nullptr) *search_failure = searched;
  if (searched.failed() || missing.empty()) return {};
  const bool one = missing.size() == 1;
  return std::string(one ? "The table " : "The tables ") + joined(missing) +
         (one ? " is" : " are") + " missing in " + session.description() + "; create " +
         (one ? "it" : "them") + " as the tables' owner with: qx_schema postgresql | psql" +
         " -v ON_ERROR_STOP=1" + psql_database(target) + "\n";
}

Status find_missing_privileges(Session& session, std::string_view program,
                               std::vector<std::string>& lacking) {
  // Only read: given up when the search ends.
  Transaction search(session);
  Status result;
  // Tables lacking the same privileges are named together, in table order.
  std::vector<std::pair<std::int64_t, std::vector<std::string>>> by_privileges;
  for (const auto& table : schema::required_tables(program)) {
    std::int64_t bits = 0;
    result = session.query_integer(table_privilege_probe(table), {}, bits);
    if (result.failed()) break;
    if (bits == 0) continue;
    auto same = std::find_if(by_privileges.begin(), by_privileges.end(),
                             [&](const auto& entry) { return entry.first == bits; });
    if (same == by_privileges.end()) same = by_privileges.insert(same, {bits, {}});
    same->second.push_back(table);
  }
  for (const auto& [bits, tables] : by_privileges) {
    lacking.push_back(privileges_of(bits) + " on " + joined(tables));
  }
  const std::string sequence(schema::program_sequence(program));
  if (result.ok() && !sequence.empty()) {
    // Drawing a key takes USAGE or UPDATE on the sequence.
    std::int64_t held = 0;
    result = session.query_integer("select case when has_sequence_privilege('" + sequence +
                                       "', 'USAGE') or has_sequence_privilege('" + sequence +
                                       "', 'UPDATE') then 1 else 0 end",
                                   {}, held);
    if (result.ok() && held == 0) lacking.push_back("USAGE on " + sequence);
  }
  return result;
}

std::string missing_privileges_notice(Session& session, const Target& target,
                                      std::string_view program) {
  if (target.kind == Target::Kind::sqlite) return {};
  std::vector<std::string> lacking;
  if (find_missing_privileges(session, program, lacking).failed() || lacking.empty()) return {};
  std::string role;
  {
    Transaction ask(session);
    if (session.query_text("select current_user", {}, role).failed()) role = target.user;
  }
  std::string grants;
  for (const auto& entry : lacking) grants += (grants.empty() ? "" : "; ") + entry;
  return "The role " + role + " lacks " + grants + " in " + session.description() +
         "; the tables' owner grants them with: psql" + psql_database(target) +
         " -v loader=" + std::string(program) + " -v role=" + role + " -f " +
         std::string(kGrantsScript) + "\n";
}

}  // namespace qx::db
