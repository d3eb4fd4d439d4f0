#include "db/target.h"

#include <gtest/gtest.h>

namespace qx::db {
namespace {

struct TargetCase {
  const char* text;
  Target::Kind kind;
  const char* user;
  const char* location;
};

TEST(TargetTest, ServiceDecidesTheBackend) {
  using Kind = Target::Kind;
  const TargetCase cases[] = {
      {"qx@sqlite:/var/lib/loader", Kind::sqlite, "qx", "/var/lib/loader"},
      {"qx@sqlite:relative.sqlite", Kind::sqlite, "qx", "relative.sqlite"},
      {"qx@/data/back_office.db", Kind::sqlite, "qx", "/data/back_office.db"},
      {"qx@C:\\LOADER\\BACK.SQLITE3", Kind::sqlite, "qx", "C:\\LOADER\\BACK.SQLITE3"},
      {"qx@postgresql://db.example/office", Kind::postgres_uri, "qx",
       "postgresql://db.example/office"},
      // A URI wins over a suffix, and keeps any "@" of its own.
      {"qx@postgres://admin@db.example/office.db", Kind::postgres_uri, "qx",
       "postgres://admin@db.example/office.db"},
      {"qx@back_office", Kind::postgres_service, "qx", "back_office"},
      {"qx@office.dbx", Kind::postgres_service, "qx", "office.dbx"},
      {"qx", Kind::postgres_default, "qx", ""},
      {"qx@", Kind::postgres_default, "qx", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto target = parse_target(c.text, "secret");
    EXPECT_EQ(target.kind, c.kind);
    EXPECT_EQ(target.user, c.user);
    EXPECT_EQ(target.location, c.location);
    EXPECT_EQ(target.password, "secret");
  }
}

TEST(TargetTest, DisplayNeverShowsAPassword) {
  EXPECT_EQ(parse_target("qx@back_office", "pw").display(), "qx@back_office");
  EXPECT_EQ(parse_target("qx", "pw").display(), "qx");
  EXPECT_EQ(parse_target("qx@sqlite:/a/b.db", "pw").display(), "sqlite:/a/b.db");
  EXPECT_EQ(
      parse_target("qx@postgresql://bob:hunter2@db:5432/office?password=x&sslmode=require", "pw")
          .display(),
      "qx@postgresql://bob@db:5432/office?sslmode=require");
  EXPECT_EQ(parse_target("qx@postgresql:///office?host=/tmp&password=x", "pw").display(),
            "qx@postgresql:///office?host=/tmp");
}

}  // namespace
}  // namespace qx::db
