// Files that cannot be loaded: which go to the failed directory, when, and
// which never do; and the cap on notices about the lines of one file.
#include "scan/failed_file_policy.h"

#include <gtest/gtest.h>

#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/make_session.h"
#include "db/target.h"
#include "observe/event_log.h"
#include "observe/metrics_file.h"
#include "observe/summary_printer.h"
#include "os/console.h"
#include "scan/scan_loop.h"
#include "support/captured_output.h"
#include "support/faulty_env.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::scan {
namespace {

using qx::testing::CapturedOutput;
using qx::testing::occurrences;
using qx::testing::read_file;
using qx::testing::TempDir;
using qx::testing::write_file;
namespace fs = std::filesystem;

// What the handler makes of each load of a file it could read.
enum class Verdict {
  loaded,    // moved to the backup directory
  own_data,  // ended by its own data: counts as a failed attempt
  systemic,  // the database failed it: stays, never counted
  throws,    // its handling throws, as content no one foresaw may make it
};

class VerdictHandler : public FileHandler {
 public:
  // With `batches` the loop hands it its files a batch at a time.
  VerdictHandler(db::Session& session, Verdict verdict, bool batches)
      : session_(session), verdict_(verdict), batches_(batches) {}
  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status&) override {}
  void handle_file(FileJob& job) override {
    ++handlings;
    std::string contents;
    if (!job.read(contents).ok()) return;
    if (verdict_ == Verdict::loaded) job.move_to_backup();
    if (verdict_ == Verdict::own_data)
      job.count_failed_load(FileReport::SetAside::refused, "its commit was refused");
    if (verdict_ == Verdict::throws) throw std::out_of_range("substr: position 342 > size 190");
  }
  bool takes_batches() const override { return batches_; }
  void on_scan_without_files() override {}
  int handlings = 0;

 private:
  db::Session& session_;
  Verdict verdict_;
  bool batches_;
};

struct Case {
  const char* what;
  bool failed_dir;
  int max_attempts;
  std::uint64_t max_file_size;
  bool unreadable;
  Verdict verdict;
  int scans;
  // Where the file is after the scans: "in", "backup" or "failed", and for
  // "failed" what its reason says and after how many attempts.
  const char* ends_in;
  const char* reason = "";
  int attempts = 0;
  // The loop hands the handler batches of files.
  bool batches = false;
  // The reason label of its one report, when it is failed or waits too
  // large; empty for a file without such a report.
  const char* label = "";
};

// clang-format off
const Case kCases[] = {
    {"unreadable, before the last attempt", true, 2, 1024, true, Verdict::loaded, 1, "in"},
    {"unreadable, at the last attempt", true, 2, 1024, true, Verdict::loaded, 2, "failed",
     "it cannot be read", 2, false, "unreadable"},
    {"unreadable, no failed directory", false, 1, 1024, true, Verdict::loaded, 3, "in"},
    {"too large, no failed directory", false, 3, 4, false, Verdict::loaded, 3, "in",
     "it holds 10 bytes, more than the 4 of --max-file-size", 0, false, "too_large"},
    {"too large", true, 3, 4, false, Verdict::loaded, 1, "failed",
     "it holds 10 bytes, more than the 4 of --max-file-size", 1, false, "too_large"},
    {"own data, before the last attempt", true, 3, 1024, false, Verdict::own_data, 2, "in"},
    {"own data, at the last attempt", true, 3, 1024, false, Verdict::own_data, 3, "failed",
     "its commit was refused", 3, false, "refused"},
    {"own data, no failed directory", false, 1, 1024, false, Verdict::own_data, 3, "in"},
    {"systemic failures never count", true, 1, 1024, false, Verdict::systemic, 3, "in"},
    {"within the size limit", true, 1, 10, false, Verdict::loaded, 1, "backup"},
    {"handling throws", true, 3, 1024, false, Verdict::throws, 1, "failed",
     "its handling failed unexpectedly: substr: position 342 > size 190", 1, false, "unexpected"},
    {"handling throws in a batch", true, 3, 1024, false, Verdict::throws, 1, "failed",
     "its handling failed unexpectedly: substr: position 342 > size 190", 1, true, "unexpected"},
    {"handling throws, no failed directory", false, 3, 1024, false, Verdict::throws, 3, "in"},
    {"handling throws in a batch, no failed directory", false, 3, 1024, false, Verdict::throws,
     3, "in", "", 0, true},
};
// clang-format on

TEST(FailedFilePolicy, EachKindOfFailureLeavesTheFileWhereItsRuleSays) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const fs::path in = dir.make_dir("in"), backup = dir.make_dir("backup");
    const fs::path failed = dir.make_dir("failed");
    write_file(in / "X.air", "0123456789");
    qx::testing::FaultyEnv env;
    env.fail_read_always = c.unreadable;
    auto session = db::make_session(db::parse_target("-@" + (dir.path() / "q.db").string(), ""));
    VerdictHandler handler(*session, c.verdict, c.batches);
    CapturedOutput out;
    ScanSettings settings = {in.string(),
                             backup.string(),
                             "*.air",
                             std::chrono::milliseconds(0),
                             std::chrono::milliseconds(0),
                             true};
    settings.batch.files = c.batches ? 4 : 1;
    ScanLoop loop(env, handler, settings, out.file(), nullptr,
                  {c.failed_dir ? failed.string() : "", c.max_attempts, c.max_file_size});
    CapturedOutput summaries;
    ObserverList observers;
    observers.add(std::make_unique<observe::SummaryPrinter>(summaries.file()));
    observers.add(
        std::make_unique<observe::EventLog>((dir.path() / "events").string(), out.file()));
    observers.add(std::make_unique<observe::MetricsFile>(env, dir.path() / "m.prom", out.file()));
    loop.observe(observers);
    observers.started({"corvane", "1.0", "a", "db", "in", "backup"});
    loop.scan();
    const int handlings_at_first = handler.handlings;
    for (int scan = 1; scan < c.scans; ++scan) loop.scan();

    const std::string ends_in = c.ends_in;
    // Every observer has the file's one outcome and its reason.
    const std::string label = c.label, outcome = ends_in == "failed" ? "failed" : "waiting";
    const std::string events = read_file(dir.path() / "events");
    const std::string metrics = read_file(dir.path() / "m.prom");
    EXPECT_EQ(occurrences(summaries.text(), "Summary of X.air: failed ("),
              ends_in == "failed" ? 1u : 0u)
        << summaries.text();
    EXPECT_EQ(occurrences(events, "\"outcome\":\"failed\""), ends_in == "failed" ? 1u : 0u);
    EXPECT_EQ(occurrences(events, "\"outcome\":\"loaded\""), ends_in == "backup" ? 1u : 0u);
    EXPECT_EQ(occurrences(metrics, ",reason=\"" + label + "\"} 1\n"), ends_in == "failed" ? 1u : 0u)
        << metrics;
    std::smatch loaded;
    ASSERT_TRUE(
        std::regex_search(metrics, loaded, std::regex("files_loaded_total\\{.*\\} (\\d+)")));
    EXPECT_EQ(loaded[1], ends_in == "backup" ? "1" : "0");
    if (!label.empty()) {
      EXPECT_EQ(occurrences(summaries.text(), "Summary of X.air: " + outcome + " (" + c.reason), 1u)
          << summaries.text();
      EXPECT_EQ(occurrences(events, "\"outcome\":\"" + outcome + "\",\"why\":\"" + c.reason), 1u)
          << events;
      EXPECT_EQ(occurrences(events, "\"reason\":\"" + label + "\""), ends_in == "failed" ? 1u : 0u);
    }
    EXPECT_EQ(fs::exists(in / "X.air"), ends_in == "in");
    EXPECT_EQ(fs::exists(backup / "X.air"), ends_in == "backup");
    EXPECT_EQ(fs::exists(failed / "X.air"), ends_in == "failed");
    EXPECT_EQ(fs::exists(failed / "X.air.reason"), ends_in == "failed");
    if (ends_in == "failed") {
      const std::string reason = read_file(failed / "X.air.reason");
      EXPECT_NE(reason.find("Failed: " + std::string(c.reason)), std::string::npos) << reason;
      EXPECT_NE(reason.find("Attempts: " + std::to_string(c.attempts) + "\n"), std::string::npos)
          << reason;
      EXPECT_TRUE(std::regex_search(
          reason, std::regex(R"(\nAt: \d{4}-\d\d-\d\d \d\d:\d\d:\d\d [+-]\d{4}\n)")))
          << reason;
      EXPECT_EQ(occurrences(out.text(), "File X.air cannot be loaded ("), 1u) << out.text();
    }
    // A file too large is told once, not at every scan.
    if (c.max_file_size < 10) {
      EXPECT_EQ(occurrences(out.text(), "--max-file-size"), 1u);
    }
    // A file whose handling throws is not handed over again at every scan,
    // but at the reminder interval.
    if (c.verdict == Verdict::throws && !c.failed_dir) {
      EXPECT_EQ(handler.handlings, handlings_at_first);
      EXPECT_EQ(occurrences(out.text(), "File X.air cannot be loaded (its handling failed"), 1u);
      env.clock = env.now() + kReminderInterval;
      loop.scan();
      EXPECT_GT(handler.handlings, handlings_at_first);
      EXPECT_NE(out.text().find("(for 15 min); it stays where it is"), std::string::npos)
          << out.text();
    }
  }
}

TEST(FailedFilePolicy, AFileThatCannotBeMovedThereStaysWithoutAReason) {
  TempDir dir;
  const fs::path in = dir.make_dir("in");
  write_file(in / "X.air", "x");
  os::RealEnv env;
  CapturedOutput out;
  FailedFilePolicy files(env, {(dir.path() / "missing").string(), 1, 1024}, out.file());
  EXPECT_FALSE(files.give_up(in, {"X.air", os::EntryType::regular, 1, {}}, "no record"));
  EXPECT_TRUE(fs::exists(in / "X.air"));
  EXPECT_NE(out.text().find("could not be moved to"), std::string::npos);
}

TEST(FailedFilePolicy, TheInputDirectoryIsRefusedAsTheFailedDirectory) {
  TempDir dir;
  const fs::path in = dir.make_dir("in");
  fs::create_directory_symlink(in, dir.path() / "link");
  os::RealEnv env;
  EXPECT_TRUE(failed_directory_refusal(env, in.string(), (dir.path() / "link").string()));
  EXPECT_FALSE(failed_directory_refusal(env, in.string(), dir.make_dir("failed").string()));
}

TEST(LineNotices, TheFirstFewOfEachKindArePrintedAndTheRestCountedOncePerFile) {
  CapturedOutput out;
  os::Console console(out.file());
  os::Console copy = console;  // a loader's copy shares the tally
  for (std::size_t line = 1; line <= 1240; ++line) {
    copy.about_line("A.PNR", line, os::Notice::line_cut, "cut");
  }
  for (std::size_t line = 1; line <= 5; ++line) {
    console.about_line("A.PNR", line, os::Notice::nul_byte, "NUL");
  }
  console.about_line("B.PNR", 1, os::Notice::field_cut, "cut");  // another file ends A's tally
  console.end_of_file();
  const std::string text = out.text();
  EXPECT_EQ(occurrences(text, ": cut\n"), os::kNoticesShownPerKind + 1);
  EXPECT_EQ(occurrences(text, ": NUL\n"), os::kNoticesShownPerKind);
  EXPECT_EQ(occurrences(text, "not shown"), 1u);
  EXPECT_NE(text.find("File A.PNR line 5: cut\nFile A.PNR line 1: NUL\n"), std::string::npos);
  EXPECT_NE(text.find("File A.PNR: 1,235 more 'line cut' notices not shown\nFile B.PNR line 1"),
            std::string::npos)
      << text;
  EXPECT_EQ(os::with_thousands(1234567), "1,234,567");
  EXPECT_EQ(os::with_thousands(999), "999");
}

}  // namespace
}  // namespace qx::scan
