// A loader run as a service is given "-" as its password, so that no
// password stands on a command line; the database client then finds it
// itself (PGPASSWORD from the instance file, or the password file).
#include <gtest/gtest.h>

#include "db/target.h"

namespace qx::db {
namespace {

TEST(ServicePasswordTest, DashLeavesThePasswordToTheDatabaseClient) {
  for (const char* text :
       {"qx@postgresql://db.example/office", "qx@back_office", "qx", "qx@/var/lib/qx.db"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(parse_target(text, "-").password, "");
    // Only the lone dash is special.
    EXPECT_EQ(parse_target(text, "-x").password, "-x");
    EXPECT_EQ(parse_target(text, "--").password, "--");
  }
}

}  // namespace
}  // namespace qx::db
