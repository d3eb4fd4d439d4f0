// A backlog loaded in batches ends exactly as the same files loaded one
// transaction each: the same rows in every table (keys aside), the same
// account of each file in the load history, and the same console lines.
// The batched run meets the three ways a batch can go: one whose commit
// fails (its files are loaded again one by one), one holding a row the
// database refuses (the same), and batches that commit whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "file_handling_run.h"
#include "generator/pnr_sample.h"
#include "support/loaded_rows.h"
#include "support/program_run.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

// Ten generated files; two whose M5 lines share a value that a unique
// index lets the database take once, so that the second file's row is
// refused; one whose values hold what a batch must pass through unchanged
// (quotes, backslashes, commas, braces, the word NULL); and one of no known
// record.
Files backlog() {
  Files files;
  for (int n = 1; n <= 10; ++n) {
    char name[32];
    std::snprintf(name, sizeof name, "PNR%06d.PNR", n);
    files.emplace_back(name, generator::generate_pnr_file({.records = 30}, 40 + n));
  }
  files.emplace_back("PNR000006A.PNR", "AAheader-x\rM501shared\rM1one\r");
  files.emplace_back("PNR000006B.PNR", "AAheader-y\rM501shared\rM502own\r");
  files.emplace_back("PNR000008A.PNR",
                     "AAheader-\"z\"\rM1 \"q\" \\b, {c} NULL\rM2NULL\rM501\\\"\r");
  files.emplace_back("PNR000009A.PNR", "ZZ no record of this format\r");
  return files;
}

struct Outcome {
  LoadedRows rows;
  std::vector<Row> accounts;
  std::string output;
  int commits = 0;
};

// How the commit made to fail fails: refused (the batch is loaded again
// file by file), or lost with the connection and the server's reason (the
// scan stops, and the next one takes the files up).
const db::Status kRefusedCommit = db::Status::failure(db::kValueTooLarge, "refused at commit");
const db::Status kLostCommit = db::Status::failure(
    db::kNotConnected, "terminating connection due to idle-in-transaction timeout");

Outcome load(Backend backend, driver::BatchLimits batch, int fail_commit_at,
             const db::Status& failure = kRefusedCommit) {
  BackendDatabase database(backend);
  database.run("create unique index qx_test_m5_once on qx_tarvo_m5 (tm5_2)");
  const Files files = backlog();
  FileHandlingRun run(kTarvoHandling, database.target_text(), files, batch);
  run.session->fail_commit_at = fail_commit_at;
  run.session->failure = failure;
  for (int scan = 0; scan < 3 && !fs::is_empty(run.in); ++scan) run.loop->scan();
  EXPECT_TRUE(fs::is_empty(run.in)) << run.out.text();
  // The scanning lines carry the time.
  const std::string output =
      std::regex_replace(run.out.text(), std::regex("Scanning Directory [^\n]*\n"), "");
  return {loaded_rows(database.reader(), "tarvo"),
          database.reader().rows(
              "select lh_file_name, lh_state, lh_rows_stored, lh_rows_rejected, "
              "coalesce(lh_first_rejected_line, 0), lh_lines_done from qx_load_history order by 1"),
          output, run.session->commits};
}

class BatchEquivalence : public ::testing::TestWithParam<Backend> {};

TEST_P(BatchEquivalence, ABacklogInBatchesEndsAsOneTransactionPerFile) {
  const Outcome alone = load(GetParam(), {.files = 1}, 0);
  const Outcome batched = load(GetParam(), {.files = 4}, 1);
  EXPECT_EQ(batched.rows, alone.rows);
  EXPECT_EQ(batched.accounts, alone.accounts);
  EXPECT_EQ(batched.output, alone.output);
  // One commit per file, and for the batched run: the failed one, four
  // files alone after it, four alone after the refused row (which
  // PostgreSQL refuses only at the batch's commit), then two batches.
  EXPECT_EQ(alone.commits, 14);
  EXPECT_EQ(batched.commits, GetParam() == Backend::postgres ? 12 : 11);
  // The refused row is there to be compared.
  long long rejected = 0;
  for (const Row& account : alone.accounts) rejected += std::stoll(*account[3]);
  EXPECT_EQ(rejected, 1);

  // A commit lost with the connection is told once, with the server's
  // reason, for the batch as for its first file alone.
  const Outcome lost_alone = load(GetParam(), {.files = 1}, 1, kLostCommit);
  const Outcome lost_batched = load(GetParam(), {.files = 4}, 1, kLostCommit);
  EXPECT_EQ(lost_batched.rows, alone.rows);
  EXPECT_EQ(lost_batched.output, lost_alone.output);
  EXPECT_EQ(occurrences(lost_batched.output,
                        "during its commit (03114: terminating connection "
                        "due to idle-in-transaction timeout); it stays"),
            1u)
      << lost_batched.output;
}

INSTANTIATE_TEST_SUITE_P(Backends, BatchEquivalence,
                         ::testing::Values(Backend::sqlite, Backend::postgres),
                         [](const auto& info) { return backend_name(info.param); });

}  // namespace
}  // namespace qx::testing
