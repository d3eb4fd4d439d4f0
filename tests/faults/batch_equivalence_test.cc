// A backlog loaded in batches ends exactly as the same files loaded one
// transaction each (one file per transaction for the PNR loader, one line
// per commit for the AIR loader, whose batches are groups of lines across
// files): the same rows in every table (keys aside), the same account of
// each file in the load history, and the same console lines. The batched
// run meets the ways a batch can go: one whose commit fails (its work is
// done again one transaction at a time), one holding a row a unique index
// refuses (the same), for AIR a failed booking-key draw, and batches that
// commit whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <tuple>

#include "file_handling_run.h"
#include "generator/air_sample.h"
#include "generator/pnr_sample.h"
#include "support/loaded_rows.h"
#include "support/program_run.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

// Ten generated files; two whose M5 lines share a value that a unique
// index lets the database take once, so that the second file's row is
// refused; one whose values hold what a batch must pass through unchanged
// (quotes, backslashes, commas, braces, the word NULL, \N, tabs, line
// feeds, bytes outside ASCII); and one of no known record.
Files pnr_backlog() {
  Files files;
  for (int n = 1; n <= 10; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "PNR%06d.PNR", n);
    files.emplace_back(name, generator::generate_pnr_file({.records = 30}, 40 + n));
  }
  files.emplace_back("PNR000006A.PNR", "AAheader-x\rM501shared\rM1one\r");
  files.emplace_back("PNR000006B.PNR", "AAheader-y\rM501shared\rM502own\r");
  files.emplace_back("PNR000008A.PNR",
                     "AAheader-\"z\"\rM1 \"q\" \\b, {c} NULL\rM2NULL\rM501\\\"\r"
                     "M701\\N\rM702NULL\rM703a\tb\\\\c\nd\xE9\x80\\\r");
  files.emplace_back("PNR000009A.PNR", "ZZ no record of this format\r");
  return files;
}

// The same kinds of file for AIR (a carriage return inside a line where a
// PNR file has a line feed), and an empty one.
Files air_backlog() {
  Files files;
  for (int n = 1; n <= 8; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "AIR%06d.air", n);
    files.emplace_back(name, generator::generate_air_file({.records = 30, .bookings = 3}, 40 + n));
  }
  files.emplace_back("AIR000003A.air", "AMD x;1\nB-shared\nB-other\n");
  files.emplace_back("AIR000003B.air", "AMD y;2\nB-shared\nC-own\n");
  files.emplace_back("AIR000005A.air",
                     "AMD \"z\";\\a\nB- \"q\" \\b, {c} NULL\nC-NULL;\\\"\n"
                     "D-x;\\N;NULL\nG-a\tb;c\rd\\\\e;\xE9\x80\\\n");
  files.emplace_back("AIR000006A.air", "ZZ no record of this format\n");
  files.emplace_back("AIR000006B.air", "");
  return files;
}

struct Case {
  const char* name;
  const Handling* handling;
  Files (*backlog)();
  const char* unique_index;
  scan::BatchLimits alone;
  scan::BatchLimits batched;
  // The first booking-key draw fails: one draw in the unbatched run; in
  // the batched run the group's and the same draw when the line is done
  // again alone.
  bool fail_first_draw = false;
  // On PostgreSQL the batches' rows go by COPY; else by array inserts, as
  // the AIR loader's groups do with fewer rows of a table than
  // BatchLimits::copy_rows_from.
  bool copies = true;
};

const Case kPnr = {"tarvo",      &kTarvoHandling,
                   pnr_backlog,  "create unique index qx_test_once on qx_tarvo_m5 (tm5_2)",
                   {.files = 1}, {.files = 4}};
const Case kAir = {"corvane",
                   &kCorvaneHandling,
                   air_backlog,
                   "create unique index qx_test_once on qx_air_b (airb_0)",
                   {.files = 4, .lines = 1},
                   {.files = 4, .lines = 16, .copy_rows_from = 1},
                   true};
// Groups of lines within one file at a time, their rows by array inserts.
const Case kAirFileAtATime = {"corvane_file_at_a_time",
                              &kCorvaneHandling,
                              air_backlog,
                              kAir.unique_index,
                              kAir.alone,
                              {.files = 1, .lines = 16},
                              true,
                              false};

struct Outcome {
  LoadedRows rows;
  std::vector<Row> accounts;
  std::string output;
  int commits = 0;
  int copies_failed = 0;
};

// How the commit made to fail fails: refused (the batch is loaded again
// file by file), or lost with the connection and the server's reason (the
// scan stops, and the next one takes the files up).
const db::Status kRefusedCommit = db::Status::failure(db::kValueTooLarge, "refused at commit");
const db::Status kLostCommit = db::Status::failure(
    db::kNotConnected, "terminating connection due to idle-in-transaction timeout");

// The backlog loaded alone or in batches, the `fail_commit_at`th commit
// failing with `failure` (none for 0).
Outcome load(const Case& loader, Backend backend, bool batched, int fail_commit_at,
             const db::Status& failure = kRefusedCommit) {
  BackendDatabase database(backend);
  database.run(loader.unique_index);
  const Files files = loader.backlog();
  FileHandlingRun run(*loader.handling, database.target_text(), files,
                      batched ? loader.batched : loader.alone);
  run.session->fail_commit_at = fail_commit_at;
  // On a server the next batch is read, cut and converted while one waits.
  run.session->work_first = batched;
  run.session->failure = failure;
  if (loader.fail_first_draw) {
    run.session->fail_draw_at = 1;
    run.session->draws_failing = batched ? 2 : 1;
  }
  // A failed draw leaves the rest of its scan waiting.
  for (int scan = 0; scan < 5 && !fs::is_empty(run.in); ++scan) run.loop->scan();
  EXPECT_TRUE(fs::is_empty(run.in)) << run.out.text();
  // Each scan's first line carries the time, and each database its name.
  const std::string output = std::regex_replace(
      std::regex_replace(run.out.text(), std::regex("Scanning Directory [^\n]*\n"), ""),
      std::regex("The database [^ ]+ "), "The database DB ");
  return {loaded_rows(database.reader(), loader.handling->program),
          database.reader().rows(
              "select lh_file_name, lh_state, lh_rows_stored, lh_rows_rejected, "
              "coalesce(lh_first_rejected_line, 0), lh_lines_done from qx_load_history order by 1"),
          output, run.session->commits, run.session->copies_failed};
}

class BatchEquivalence : public ::testing::TestWithParam<std::tuple<const Case*, Backend>> {};

TEST_P(BatchEquivalence, ABacklogInBatchesEndsAsOneTransactionAtATime) {
  const auto& [loader, backend] = GetParam();
  const Outcome alone = load(*loader, backend, false, 0);
  // The batched run's first commit fails: it can only be a batch's.
  const Outcome batched = load(*loader, backend, true, 1);
  EXPECT_EQ(batched.rows, alone.rows);
  EXPECT_EQ(batched.accounts, alone.accounts);
  EXPECT_EQ(batched.output, alone.output);
  if (loader == &kPnr) {
    // One commit per file, and for the batched run: the failed one, four
    // files alone after it, four alone after the refused row (refused
    // before the batch's commit, by its COPY on PostgreSQL), then two
    // batches.
    EXPECT_EQ(alone.commits, 14);
    EXPECT_EQ(batched.commits, 11);
  } else {
    // Groups ran: far fewer commits than lines.
    EXPECT_GT(alone.commits, 240);
    EXPECT_LT(batched.commits * 3, alone.commits);
  }
  // On PostgreSQL the batches' rows that went by COPY: it refused the row
  // that the unique index refuses, and nothing else.
  EXPECT_EQ(batched.copies_failed, backend == Backend::postgres && loader->copies ? 1 : 0);
  // The refused row is there to be compared.
  long long rejected = 0;
  for (const Row& account : alone.accounts) rejected += std::stoll(*account[3]);
  EXPECT_EQ(rejected, 1);

  if (loader != &kPnr) return;
  // A commit lost with the connection is told once, with the server's
  // reason, for the batch as for its first file alone.
  const Outcome lost_alone = load(*loader, backend, false, 1, kLostCommit);
  const Outcome lost_batched = load(*loader, backend, true, 1, kLostCommit);
  EXPECT_EQ(lost_batched.rows, alone.rows);
  EXPECT_EQ(lost_batched.output, lost_alone.output);
  EXPECT_EQ(occurrences(lost_batched.output,
                        "during its commit (03114: terminating connection "
                        "due to idle-in-transaction timeout); it stays"),
            1u)
      << lost_batched.output;
}

INSTANTIATE_TEST_SUITE_P(Loaders, BatchEquivalence,
                         ::testing::Combine(::testing::Values(&kPnr, &kAir, &kAirFileAtATime),
                                            ::testing::Values(Backend::sqlite, Backend::postgres)),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param)->name) + "_" +
                                  backend_name(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace qx::testing
