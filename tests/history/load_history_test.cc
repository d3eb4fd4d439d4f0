// The load history through the scan loop, on both databases: a file the
// history holds as loaded is only moved, by this loop or a later one; a
// changed file under the same name is a new file; a file another instance
// has claimed is left alone, and one whose claim failed is busy for no one;
// a part-way account reads back as written; a row written under the
// earlier digest still names its file.
#include "history/load_history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/backend_database.h"
#include "os/stop_signal.h"
#include "scan/scan_loop.h"
#include "support/captured_output.h"
#include "support/faulty_env.h"
#include "support/history_writing_handler.h"
#include "support/temp_dir.h"

namespace qx::history {
namespace {

using qx::testing::Backend;
using qx::testing::BackendDatabase;
using qx::testing::CapturedOutput;
using qx::testing::FaultyEnv;
using qx::testing::HistoryWritingHandler;
using qx::testing::TempDir;
using qx::testing::write_file;

class LoadHistoryTest : public ::testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    os::clear_stop_request();
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  // One run of a loader: a new session, history and loop, one scan.
  std::vector<std::string> run_once(const std::string& instance = "test-instance") {
    auto session = database.connect();
    HistoryWritingHandler handler(*session);
    LoadHistory history(*session, "tarvo", instance);
    scan::ScanLoop loop(env, handler,
                        {in.string(), backup.string(), "*.PNR", std::chrono::milliseconds(0),
                         std::chrono::milliseconds(0), true},
                        out.file(), &history);
    loop.scan();
    return handler.loaded;
  }

  BackendDatabase database{GetParam()};
  TempDir dir;
  std::filesystem::path in, backup;
  FaultyEnv env;
  CapturedOutput out;
};

TEST_P(LoadHistoryTest, ALoadedFileIsOnlyMovedAfterAnyRestartAndAChangedOneIsNew) {
  write_file(in / "A.PNR", "first");
  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  EXPECT_EQ(run_once(), std::vector<std::string>{"A.PNR=first"});
  EXPECT_TRUE(std::filesystem::exists(in / "A.PNR"));
  EXPECT_NE(out.text().find("write failed"), std::string::npos);

  // Restarted twice, once while the backup still cannot be written: never loaded again.
  EXPECT_TRUE(run_once().empty());
  env.fail_copy_always = false;
  EXPECT_TRUE(run_once().empty());
  EXPECT_FALSE(std::filesystem::exists(in / "A.PNR"));
  EXPECT_EQ(qx::testing::read_file(backup / "A.PNR"), "first");
  EXPECT_NE(out.text().find("File A.PNR was loaded earlier and is now moved to"),
            std::string::npos);

  // The same name dropped again with other bytes is another file.
  write_file(in / "A.PNR", "second");
  EXPECT_EQ(run_once(), std::vector<std::string>{"A.PNR=second"});
}

TEST_P(LoadHistoryTest, APartWayAccountReadsBackAsWritten) {
  auto session = database.connect();
  LoadHistory history(*session, "corvane", "host:1");
  FileIdentity file{"B.air", 42, 1'700'000'000'123'456'789, file_digest("b")};
  LoadProgress written;
  written.state = LoadProgress::State::loading;
  written.lines_done = 17;
  written.booking_key = 123456789012.0;
  written.serials = {3, 1, 7, 2};
  written.rows_stored = 15;
  written.rows_rejected = 2;
  written.first_rejected_line = 9;
  ASSERT_TRUE(history.open_entry(file).ok());
  ASSERT_TRUE(history.write_progress(file, written).ok());
  ASSERT_TRUE(session->commit().ok());

  Claim claim = Claim::busy;
  LoadProgress read;
  ASSERT_TRUE(history.claim(file, claim, read).ok());
  history.release(file);
  ASSERT_TRUE(session->commit().ok());
  EXPECT_EQ(claim, Claim::claimed);
  EXPECT_EQ(read.state, LoadProgress::State::loading);
  EXPECT_EQ(read.lines_done, 17);
  EXPECT_EQ(read.booking_key, 123456789012.0);
  EXPECT_EQ(read.serials, written.serials);
  EXPECT_EQ(read.rows_stored, 15);
  EXPECT_EQ(read.rows_rejected, 2);
  EXPECT_EQ(read.first_rejected_line, 9);

  // A second row for the same file fails its transaction.
  EXPECT_FALSE(history.open_entry(file).ok() && session->commit().ok());
}

TEST_P(LoadHistoryTest, ARowWrittenUnderTheEarlierDigestNamesTheFileWhoseBytesGiveIt) {
  // Takes up a row found loading as a line-by-line loader does: the account
  // goes on in the row the claim found. Claims in batches, with a key drawn
  // as a file's key is, so that PostgreSQL claims the files in one query.
  struct ResumingHandler : HistoryWritingHandler {
    using HistoryWritingHandler::HistoryWritingHandler;
    bool takes_batches() const override { return true; }
    std::string_view file_key_sequence() const override { return "TARVO_SEQUENCE"; }
    std::vector<std::int64_t> lines_found;
    void handle_file(scan::FileJob& job) override {
      if (job.progress().state == LoadProgress::State::new_file) {
        return HistoryWritingHandler::handle_file(job);
      }
      lines_found.push_back(job.progress().lines_done);
      LoadProgress done = job.progress();
      done.state = LoadProgress::State::loaded;
      const HistoryEntry entry = job.history_entry();
      ASSERT_TRUE(entry.history->write_progress(*entry.file, done).ok());
      ASSERT_TRUE(session().commit().ok());
      job.move_to_backup();
    }
  };
  struct Case {
    std::string name;
    std::string row_state;
    std::string row_bytes;  // the bytes whose earlier digest the row holds
    bool loaded_again;
  };
  const std::vector<Case> cases = {{"LOADED.PNR", "loaded", "same", false},
                                   {"PARTWAY.PNR", "loading", "same", false},
                                   {"OTHER.PNR", "loaded", "sam2", true}};
  for (const Case& c : cases) write_file(in / c.name, "same");
  std::vector<os::DirectoryEntry> entries;
  ASSERT_TRUE(env.list_directory(in, entries).ok());
  for (const os::DirectoryEntry& entry : entries) {
    const auto file = identify_file(entry.name, "same", entry.modified);
    const Case& c = *std::find_if(cases.begin(), cases.end(),
                                  [&](const Case& each) { return each.name == entry.name; });
    database.run(
        "insert into qx_load_history (lh_program, lh_file_name, lh_file_size, "
        "lh_file_mtime_ns, lh_digest, lh_state, lh_lines_done, lh_instance) values ('tarvo', '" +
        c.name + "', 4, " + std::to_string(file.modified_ns) + ", '" +
        earlier_file_digest(c.row_bytes) + "', '" + c.row_state + "', 7, 'earlier:1')");
  }

  auto session = database.connect();
  ResumingHandler handler(*session);
  LoadHistory history(*session, "tarvo", "test-instance");
  scan::ScanSettings settings{in.string(),
                              backup.string(),
                              "*.PNR",
                              std::chrono::milliseconds(0),
                              std::chrono::milliseconds(0),
                              true};
  settings.batch.files = 8;
  scan::ScanLoop loop(env, handler, settings, out.file(), &history);
  loop.scan();
  EXPECT_EQ(handler.loaded, std::vector<std::string>{"OTHER.PNR=same"});
  EXPECT_EQ(handler.lines_found, std::vector<std::int64_t>{7});
  for (const Case& c : cases) {
    EXPECT_TRUE(std::filesystem::exists(backup / c.name)) << c.name;
    const auto rows = database.reader().rows(
        "select lh_state from qx_load_history where lh_file_name='" + c.name + "'");
    EXPECT_EQ(rows.size(), c.loaded_again ? 2u : 1u) << c.name;
    for (const auto& row : rows) EXPECT_EQ(row.at(0), "loaded") << c.name;
  }
}

TEST(LoadHistoryPostgresTest, AFileClaimedByAnotherInstanceIsLeftAlone) {
  BackendDatabase database(Backend::postgres);
  TempDir dir;
  auto in = dir.make_dir("in"), backup = dir.make_dir("backup");
  write_file(in / "C.PNR", "c");
  FileIdentity file = identify_file("C.PNR", "c", {});
  auto other = database.connect();
  LoadHistory others(*other, "tarvo", "other");
  Claim claim = Claim::busy;
  LoadProgress progress;

  FaultyEnv env;
  CapturedOutput out;
  auto session = database.connect();
  HistoryWritingHandler handler(*session);
  LoadHistory history(*session, "tarvo", "this");
  scan::ScanLoop loop(env, handler,
                      {in.string(), backup.string(), "*.PNR", std::chrono::milliseconds(0),
                       std::chrono::milliseconds(0), true},
                      out.file(), &history);
  // The modification time is part of the identity: take the listed one.
  std::vector<os::DirectoryEntry> entries;
  ASSERT_TRUE(env.list_directory(in, entries).ok());
  file = identify_file("C.PNR", "c", entries.at(0).modified);
  ASSERT_TRUE(others.claim(file, claim, progress).ok());
  ASSERT_EQ(claim, Claim::claimed);
  loop.scan();
  EXPECT_TRUE(handler.loaded.empty());
  EXPECT_TRUE(std::filesystem::exists(in / "C.PNR"));

  others.release(file);
  ASSERT_TRUE(other->commit().ok());
  loop.scan();
  EXPECT_EQ(handler.loaded, std::vector<std::string>{"C.PNR=c"});
}

TEST(LoadHistoryPostgresTest, AClaimThatFailsPartWayLeavesNoFileBusy) {
  BackendDatabase database(Backend::postgres);
  TempDir dir;
  auto in = dir.make_dir("in"), backup = dir.make_dir("backup");
  write_file(in / "D.PNR", "d");
  // An exhausted key sequence fails the claim after it took the file's lock.
  database.run("create sequence qx_exhausted maxvalue 2; select setval('qx_exhausted', 2)");
  struct DrawingHandler : HistoryWritingHandler {
    using HistoryWritingHandler::HistoryWritingHandler;
    std::string_view file_key_sequence() const override { return "qx_exhausted"; }
  };
  FaultyEnv env;
  CapturedOutput out;
  auto session = database.connect();
  DrawingHandler handler(*session);
  LoadHistory history(*session, "tarvo", "this");
  scan::ScanLoop loop(env, handler,
                      {in.string(), backup.string(), "*.PNR", std::chrono::milliseconds(0),
                       std::chrono::milliseconds(0), true},
                      out.file(), &history);
  loop.scan();
  EXPECT_TRUE(handler.loaded.empty());
  ASSERT_NE(out.text().find("could not be read"), std::string::npos);
  ASSERT_TRUE(session->commit().ok());  // sends what the loop held back

  std::vector<os::DirectoryEntry> entries;
  ASSERT_TRUE(env.list_directory(in, entries).ok());
  const FileIdentity file = identify_file("D.PNR", "d", entries.at(0).modified);
  auto other = database.connect();
  LoadHistory others(*other, "tarvo", "other");
  Claim claim = Claim::busy;
  LoadProgress progress;
  ASSERT_TRUE(others.claim(file, claim, progress).ok());
  EXPECT_EQ(claim, Claim::claimed);
}

INSTANTIATE_TEST_SUITE_P(Backends, LoadHistoryTest,
                         ::testing::Values(Backend::sqlite, Backend::postgres),
                         [](const auto& info) { return qx::testing::backend_name(info.param); });

}  // namespace
}  // namespace qx::history
