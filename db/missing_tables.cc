#include "db/missing_tables.h"

#include "schema/schema.h"

namespace qx::db {
namespace {

// The psql arguments that reach the same database as `target`.
std::string psql_arguments(const Target& target) {
  std::string arguments = " -v ON_ERROR_STOP=1";
  if (!target.user.empty()) arguments += " -U " + target.user;
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

}  // namespace

Status find_missing_tables(Session& session, std::span<const std::string> tables,
                           std::vector<std::string>& missing) {
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
  if (session.connected()) session.rollback();
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
         (one ? "it" : "them") + " with: qx_schema postgresql | psql" + psql_arguments(target) +
         "\n";
}

}  // namespace qx::db
