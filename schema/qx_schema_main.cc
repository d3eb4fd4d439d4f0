// qx_schema DIALECT: prints the statements that create every table, index and
// sequence of the loaders, for a DBA to apply, e.g.
//   qx_schema sqlite | sqlite3 loaders.db
//   qx_schema postgresql | psql -v ON_ERROR_STOP=1 -d backoffice
// The script is idempotent: applying it to a database that already has the
// schema changes nothing, and never resets a sequence.
#include <cstdio>
#include <string_view>

#include "schema/schema.h"

namespace {

constexpr const char* kUsage =
    "usage: qx_schema sqlite|postgresql\n"
    "Prints the loaders' tables, indexes and sequences as SQL for sqlite3 or psql.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  const auto dialect = argc == 2 ? qx::schema::parse_dialect(argv[1]) : std::nullopt;
  if (!dialect) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string script = qx::schema::ddl_script(*dialect);
  if (std::fwrite(script.data(), 1, script.size(), stdout) != script.size() ||
      std::fflush(stdout) != 0) {
    std::perror("qx_schema: writing the script");
    return 1;
  }
  return 0;
}
