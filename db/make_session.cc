#include "db/make_session.h"

#include "db/postgres_session.h"
#include "db/sqlite_session.h"

namespace qx::db {

std::unique_ptr<Session> make_session(const Target& target) {
  if (target.kind == Target::Kind::sqlite) {
    return std::make_unique<SqliteSession>(target.location, target.display());
  }
  return std::make_unique<PostgresSession>(target);
}

}  // namespace qx::db
