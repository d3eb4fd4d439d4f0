// Real databases that cannot take a file, for a reason that is not the
// file's: SQLite full, read-only, or with its write-ahead log removed under
// the open connection (what it commits would be lost); PostgreSQL without one of the loader's
// tables, without its sequence, with the sequence exhausted, or without the
// privilege to insert. Each time the file stays in the input directory,
// nothing of the failing line or file is stored, and one line says that the
// file stays; once the cause is removed, the next scan loads the file
// exactly once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "file_handling_run.h"
#include "generator/air_sample.h"
#include "generator/pnr_sample.h"
#include "schema/schema.h"
#include "support/loaded_rows.h"
#include "support/program_run.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

// A loader family: its file handling, one file for it (more rows than the
// pages of an empty database hold), a record table every such file writes
// to, and the sequence it draws keys from.
struct Family {
  const Handling* handling;
  const char* file_name;
  std::string (*contents)();
  const char* table;
  const char* sequence;
};

const Family kTarvo = {&kTarvoHandling, "PNR000001.PNR",
                       [] { return generator::generate_pnr_file({.records = 2000}, 5); },
                       "qx_tarvo_m1", "TARVO_SEQUENCE"};
const Family kCorvane = {&kCorvaneHandling, "AIR000001.air",
                         [] {
                           std::string text =
                               generator::generate_air_file({.records = 40, .bookings = 2}, 5);
                           for (char c = 'a'; c < 'h'; ++c)
                             text += "B-" + std::string(1200, c) + "\n";
                           return text;
                         },
                         "qx_air_corvane", "BOOK_SEQUENCE"};

// The database a cause breaks, and the loader's session on it.
struct Broken {
  const Family& family;
  const BackendDatabase& database;
  db::Session& loader;
  const std::string& role;  // PostgreSQL: the role the loader logs in as
};

void on_loader(db::Session& loader, const std::string& sql) {
  std::int64_t value = 0;
  db::Status status = loader.query_integer(sql, {}, value);
  ASSERT_TRUE(status.ok() || status.code == db::kNullFetched) << sql << ": " << status.message;
  ASSERT_TRUE(loader.commit().ok());
}

// Makes the loader's connection read-only, as one opened on a file it
// cannot write; from then on it cannot even begin a transaction, and only a
// new connection writes again.
void make_read_only(const Broken& broken) {
  // What counts is that the loader's writes fail from here on, which the
  // callers check.
  (void)broken.loader.execute("PRAGMA query_only = 1", {});
  (void)broken.loader.commit();
}

void reconnect(const Broken& broken) {
  ASSERT_TRUE(broken.loader.connect().ok());
}

// The schema again, and every privilege on it for the loader's role.
void restore_schema(const Broken& broken) {
  for (const auto& statement : schema::ddl(schema::Dialect::postgresql)) {
    broken.database.run(statement);
  }
  broken.database.run("grant all on all tables in schema public to " + broken.role +
                      "; grant all on all sequences in schema public to " + broken.role);
}

struct Cause {
  const char* name;
  Backend backend;
  void (*apply)(const Broken&);
  void (*remove)(const Broken&);
  // A part of the database's own reason, printed.
  const char* reason;
  // The line that tells the operator, once, and the one that says it ended.
  const char* told = "refuses the loader's work";
  const char* told_again = "takes the loader's work again";
  // The failures the observer is told of, begun and then ended.
  const char* events_begun = "+database_refusal ";
  const char* events_ended = "+database_refusal -database_refusal ";
};

const Cause kCauses[] = {
    {"a full database", Backend::sqlite,
     [](const Broken& b) {
       std::int64_t pages = 0;
       ASSERT_TRUE(b.loader.query_integer("PRAGMA page_count", {}, pages).ok());
       on_loader(b.loader, "PRAGMA max_page_count = " + std::to_string(pages));
     },
     [](const Broken& b) { on_loader(b.loader, "PRAGMA max_page_count = 1000000"); }, "full"},
    {"a read-only database", Backend::sqlite, make_read_only, reconnect, "readonly"},
    {"a write-ahead log removed", Backend::sqlite,
     [](const Broken& b) { ASSERT_TRUE(fs::remove(b.database.target().location + "-wal")); },
     reconnect, "write-ahead log", "does not keep what it stores", "keeps what it stores again", "",
     ""},
    {"a missing record table", Backend::postgres,
     [](const Broken& b) { b.database.run(std::string("drop table ") + b.family.table); },
     restore_schema, "does not exist"},
    {"a missing sequence", Backend::postgres,
     [](const Broken& b) { b.database.run(std::string("drop sequence ") + b.family.sequence); },
     restore_schema, "does not exist"},
    {"a missing privilege", Backend::postgres,
     [](const Broken& b) {
       b.database.run(std::string("revoke insert on ") + b.family.table + " from " + b.role);
     },
     restore_schema, "permission denied"},
    {"an exhausted sequence", Backend::postgres,
     [](const Broken& b) {
       const std::string sequence = b.family.sequence;
       b.database.run("select setval('" + sequence + "', 500); alter sequence " + sequence +
                      " maxvalue 500 no cycle");
     },
     [](const Broken& b) {
       b.database.run(std::string("alter sequence ") + b.family.sequence + " no maxvalue");
     },
     "maximum value"},
};

// The lines of `printed` that say a file waits for a later scan.
int lines_saying_the_file_stays(const std::string& printed) {
  int lines = 0;
  for (std::size_t start = 0, end = 0; start < printed.size(); start = end + 1) {
    end = printed.find('\n', start);
    if (end == std::string::npos) end = printed.size();
    const std::string_view line(printed.data() + start, end - start);
    if (line.find("stays for a later scan") != std::string_view::npos ||
        line.find("wait for a later scan") != std::string_view::npos) {
      ++lines;
    }
  }
  return lines;
}

// The failures the loop tells its observers of, begun and ended, by kind.
struct FailureEvents : scan::ScanObserver {
  std::string events;
  void failure_started(scan::FailureKind kind, const std::string&) override {
    events += "+" + std::string(scan::failure_kind_name(kind)) + " ";
  }
  void failure_ended(scan::FailureKind kind, const std::string&, std::chrono::seconds) override {
    events += "-" + std::string(scan::failure_kind_name(kind)) + " ";
  }
};

class FailingDatabase : public ::testing::TestWithParam<const Family*> {};

TEST_P(FailingDatabase, TheFileStaysUntilTheCauseIsGoneAndIsThenLoadedOnce) {
  const Family& family = *GetParam();
  const std::string program = family.handling->program;
  const std::string name = family.file_name;
  const Files files = {{name, family.contents()}};
  for (const Cause& cause : kCauses) {
    SCOPED_TRACE(cause.name);
    BackendDatabase clean_database(cause.backend);
    FileHandlingRun clean(*family.handling, clean_database.target_text(), files);
    clean.loop->scan();
    const LoadedRows clean_rows = loaded_rows(clean_database.reader(), program);

    BackendDatabase database(cause.backend);
    std::string target = database.target_text();
    std::string role;
    if (cause.backend == Backend::postgres) {
      role = "loader_" + std::to_string(::getpid()) + "_" + std::to_string(&cause - kCauses);
      database.run("create role " + role + " login");
      target = role + target.substr(target.find('@'));
    }
    {
      FileHandlingRun run(*family.handling, target, files);
      FailureEvents observed;
      run.loop->observe(observed);
      ASSERT_TRUE(run.session->connect().ok());
      Broken broken{family, database, *run.session, role};
      if (!role.empty()) restore_schema(broken);
      cause.apply(broken);
      ASSERT_FALSE(HasFatalFailure());

      run.loop->scan();
      const std::string printed = run.out.take();
      EXPECT_TRUE(fs::exists(run.in / name));
      EXPECT_EQ(lines_saying_the_file_stays(printed), 1) << printed;
      EXPECT_NE(printed.find(cause.reason), std::string::npos) << printed;
      // The operator is told the database cannot take work, once.
      EXPECT_EQ(qx::testing::occurrences(printed, cause.told), 1u) << printed;
      // A refusal of the database, never the file's own failure.
      EXPECT_EQ(observed.events, cause.events_begun);
      // The next scan tries the file again and is refused again: the
      // refusal is recalled at its reminder interval, not at every scan.
      run.loop->scan();
      const std::string again = run.out.take();
      EXPECT_TRUE(fs::exists(run.in / name));
      EXPECT_EQ(lines_saying_the_file_stays(again), 0) << again;
      EXPECT_EQ(again.find(cause.reason), std::string::npos) << again;
      // A file loaded as one transaction leaves nothing; one loaded line by
      // line keeps the lines before the failing one, and its place. (Read
      // once the cause is gone: a missing table cannot be read.)
      cause.remove(broken);
      const auto states = history_states(database.reader());
      const LoadedRows stored = loaded_rows(database.reader(), program);
      if (program == "corvane") {
        EXPECT_TRUE(states.empty() || states.at(name) == std::vector<std::string>{"loading"});
        EXPECT_GE(rows_missing(clean_rows, stored), 0);
      } else {
        EXPECT_TRUE(states.empty());
        EXPECT_EQ(row_count(stored), 0);
      }

      run.loop->scan();
      EXPECT_TRUE(fs::exists(run.backup / name)) << run.out.text();
      EXPECT_EQ(qx::testing::occurrences(run.out.text(), cause.told_again), 1u);
      EXPECT_EQ(observed.events, cause.events_ended);
      EXPECT_EQ(history_states(database.reader()).at(name), std::vector<std::string>{"loaded"});
      EXPECT_EQ(loaded_rows(database.reader(), program), clean_rows);
    }
    if (!role.empty()) database.run("drop owned by " + role + "; drop role " + role);
  }
}

INSTANTIATE_TEST_SUITE_P(Loaders, FailingDatabase, ::testing::Values(&kTarvo, &kCorvane),
                         [](const auto& info) {
                           return std::string(info.param->handling->program);
                         });

}  // namespace
}  // namespace qx::testing
