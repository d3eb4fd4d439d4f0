// Where a loader's rows go, from its first two command-line arguments:
// "USER@SERVICE" and the password.
//
//   SERVICE "sqlite:PATH", or a PATH ending in .db, .sqlite or .sqlite3:
//       the embedded SQLite database at PATH (user and password unused);
//   SERVICE "postgresql://..." or "postgres://...": that PostgreSQL URI,
//       logged in as USER with the password;
//   any other SERVICE: a PostgreSQL connection service name;
//   no "@", or nothing after it: PostgreSQL with the client's defaults,
//       logged in as USER.
//
// A password of "-" stands for none: the database client then finds one by
// itself (for PostgreSQL the PGPASSWORD variable or the password file), which
// keeps passwords off command lines and out of service definitions.
//
// The text is split at its first "@", so a URI may carry "@" of its own. The
// "sqlite:" prefix and the URI schemes are matched as written, the file
// suffixes in any case; a URI wins over a suffix.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace qx::db {

struct [[nodiscard]] Target {
  enum class Kind { sqlite, postgres_uri, postgres_service, postgres_default };

  Kind kind = Kind::postgres_default;
  std::string user;
  // Empty when none was given ("-"): the client's own sources apply.
  std::string password;
  // The SQLite file path, the URI or the service name; empty for
  // postgres_default.
  std::string location;
  // How long a server may keep an answer (or a connect) waiting before the
  // connection is taken as lost.
  std::chrono::seconds answer_timeout{60};
  std::chrono::seconds connect_timeout{10};

  // The target for people, never with the password.
  std::string display() const;
};

Target parse_target(std::string_view user_text, std::string_view password);

}  // namespace qx::db
