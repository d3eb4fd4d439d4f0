#include "scan/scan_loop.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "db/make_session.h"
#include "os/stop_signal.h"
#include "scan/alarm.h"
#include "support/captured_output.h"
#include "support/connect_only_session.h"
#include "support/faulty_env.h"
#include "support/history_writing_handler.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::scan {
namespace {

using qx::testing::CapturedOutput;
using qx::testing::ConnectOnlySession;
using qx::testing::FaultyEnv;
using qx::testing::HistoryWritingHandler;
using qx::testing::read_file;
using qx::testing::TempDir;
using qx::testing::write_file;

// Reads each file it is given and moves it, as a loader does.
class RecordingHandler : public FileHandler {
 public:
  explicit RecordingHandler(db::Session& s) : session_(s) {}
  std::vector<std::string> loaded;
  std::vector<std::string> sql_errors;
  int empty_scans = 0;
  bool drop_connection_after_load = false;
  // Runs between the read and the move.
  std::function<void()> after_read;

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { sql_errors.push_back(status.message); }
  void handle_file(FileJob& job) override {
    std::string contents;
    if (!job.read(contents).ok()) return;
    loaded.push_back(job.name() + "=" + contents);
    if (after_read) after_read();
    if (drop_connection_after_load) {
      static_cast<ConnectOnlySession&>(session_).is_connected = false;
      return;
    }
    job.move_to_backup();
  }
  void on_scan_without_files() override { ++empty_scans; }

 private:
  db::Session& session_;
};

class ScanLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::clear_stop_request();
    session.is_connected = true;
    in = dir.make_dir("in");
    backup = dir.make_dir("backup");
  }
  void TearDown() override { os::clear_stop_request(); }

  ScanLoop make_loop(std::string input, std::string backup_dir,
                     std::chrono::milliseconds settle = std::chrono::milliseconds(0)) {
    return ScanLoop(env, loader,
                    {input, backup_dir, "*.air", std::chrono::milliseconds(3600), settle, true},
                    out.file());
  }
  ScanLoop make_loop() { return make_loop(in.string(), backup.string()); }

  TempDir dir;
  std::filesystem::path in, backup;
  FaultyEnv env;
  ConnectOnlySession session;
  RecordingHandler loader{session};
  CapturedOutput out;
};

TEST_F(ScanLoopTest, LoadsFilesInOrderAndMovesThem) {
  write_file(in / "b.air", "2");
  write_file(in / "A.AIR", "1");
  write_file(in / "c.txt", "not mine");
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"A.AIR=1", "b.air=2"}));
  EXPECT_TRUE(std::filesystem::exists(backup / "A.AIR"));
  EXPECT_TRUE(std::filesystem::exists(backup / "b.air"));
  EXPECT_TRUE(std::filesystem::exists(in / "c.txt"));
  EXPECT_EQ(loader.empty_scans, 0);
  loop.scan();
  EXPECT_EQ(loader.loaded.size(), 2u);
  EXPECT_EQ(loader.empty_scans, 1);
  EXPECT_NE(out.text().find("Scanning Directory " + in.string() + " "), std::string::npos);
  EXPECT_NE(out.text().find(" for *.air Files\n"), std::string::npos);
}

TEST_F(ScanLoopTest, RelativeDirectoriesStillMoveTheFile) {
  write_file(in / "X.air", "x");
  auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  auto loop = make_loop("in", "backup");
  std::filesystem::current_path(cwd);  // the loop must not depend on it any more
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
  EXPECT_FALSE(std::filesystem::exists(in / "X.air"));
  EXPECT_TRUE(std::filesystem::exists(backup / "X.air"));
  loop.scan();
  EXPECT_EQ(loader.loaded.size(), 1u);
  // Printed paths keep the form typed on the command line.
  EXPECT_NE(out.text().find("Scanning Directory in "), std::string::npos);
}

TEST_F(ScanLoopTest, WithoutAConnectionNoFileIsTouchedAndEachScanReconnects) {
  write_file(in / "X.air", "x");
  session.is_connected = false;
  session.refuse_connects = 2;
  auto loop = make_loop();
  loop.scan();
  loop.scan();
  EXPECT_TRUE(loader.loaded.empty());
  EXPECT_TRUE(std::filesystem::exists(in / "X.air"));
  // Told when it starts, not at every scan.
  EXPECT_EQ(loader.sql_errors.size(), 1u);
  EXPECT_EQ(qx::testing::occurrences(out.text(), "Cannot connect to the database test session"),
            1u);
  EXPECT_EQ(loader.empty_scans, 0);
  loop.scan();
  EXPECT_EQ(session.connects, 3);
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
  EXPECT_NE(out.text().find("The database test session is reachable again"), std::string::npos);
}

// Each file whose move fails is named once, under its name with control
// characters escaped; moving works again only when no file fails to move.
TEST_F(ScanLoopTest, AFailingBackupDirectoryIsToldOnceAndAgainWhenItWorks) {
  const std::string forged = "B\nMoving into the backup directory\x01.air";
  write_file(in / "A.air", "a");
  write_file(in / forged, "b");
  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  auto loop = make_loop();
  loop.scan();
  loop.scan();
  EXPECT_EQ(qx::testing::occurrences(out.text(), "could not be moved"), 2u) << out.text();
  EXPECT_NE(out.text().find("\nFile B\\nMoving into the backup directory\\x01.air was loaded but "
                            "could not be moved"),
            std::string::npos)
      << out.text();
  EXPECT_EQ(out.text().find("\nMoving into"), std::string::npos) << out.text();
  // A's move works, B's still fails (its destination is taken by a directory).
  env.fail_copy_always = false;
  env.rename_crosses_devices = false;
  std::filesystem::create_directories(backup / forged / "taken");
  loop.scan();
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_EQ(out.text().find(" works again"), std::string::npos) << out.text();
  std::filesystem::remove_all(backup / forged);
  loop.scan();
  EXPECT_EQ(read_file(backup / forged), "b");
  EXPECT_EQ(qx::testing::occurrences(
                out.text(), "Moving into the backup directory " + backup.string() + " works again"),
            1u);
}

// A failure an operator must act on is recalled at a slow interval while
// it lasts, not at every scan.
TEST(OngoingFailure, IsToldWhenItStartsThenAtTheReminderIntervalAndWhenItEnds) {
  OngoingFailure failure(std::chrono::minutes(15));
  const auto start = OngoingFailure::Clock::now();
  EXPECT_TRUE(failure.due(start));
  EXPECT_FALSE(failure.due(start + std::chrono::minutes(14)));
  EXPECT_TRUE(failure.due(start + std::chrono::minutes(15)));
  EXPECT_FALSE(failure.due(start + std::chrono::minutes(29)));
  EXPECT_EQ(failure.ended(start + std::chrono::minutes(31)), std::chrono::minutes(31));
  EXPECT_FALSE(failure.ended(start + std::chrono::minutes(32)));
  EXPECT_TRUE(failure.due(start + std::chrono::minutes(40)));
}

// One alarm's life, step by step: raised (or raised to name something new
// at once), recalled at the reminder interval, cleared; what the console
// and the observers heard.
struct AlarmRow {
  const char* name;
  bool observed;         // with a FailureKind the observers know
  const char* headline;  // empty: another part prints the line
  const char* lasted_as;
  // Minutes from the start: +N raises, *N raises telling anyway, -N clears.
  std::vector<int> steps;
  const char* console;
  std::vector<std::string> events;
};

class AlarmTest : public ::testing::TestWithParam<AlarmRow> {};

TEST_P(AlarmTest, TellsItsStartReminderAndEnd) {
  struct Events : ScanObserver {
    std::vector<std::string> seen;
    void failure_started(FailureKind kind, const std::string& detail) override {
      seen.push_back("start " + std::string(failure_kind_name(kind)) + " " + detail);
    }
    void failure_ended(FailureKind kind, const std::string& detail,
                       std::chrono::seconds lasted) override {
      seen.push_back("end " + std::string(failure_kind_name(kind)) + " " + detail + " " +
                     std::to_string(lasted.count()));
    }
  } events;
  const AlarmRow& row = GetParam();
  FaultyEnv env;
  CapturedOutput out;
  AlarmOutlets outlets{env, out.file(), &events};
  Alarm alarm(outlets, row.observed ? std::optional(FailureKind::input_directory) : std::nullopt);
  const auto start = std::chrono::system_clock::now();
  for (int step : row.steps) {
    env.clock = start + std::chrono::minutes(std::abs(step) % 1000);
    if (step < 0) {
      alarm.clear("in", "In works again");
    } else {
      alarm.raise({"in: gone", row.headline, "check it", row.lasted_as}, step >= 1000);
    }
  }
  EXPECT_EQ(out.text(), row.console);
  EXPECT_EQ(events.seen, row.events);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AlarmTest,
    ::testing::Values(
        AlarmRow{"RecalledAtTheIntervalThenCleared",
                 true,
                 "In fails",
                 "for",
                 {0, 14, 15, 29, -31},
                 "In fails; check it\nIn fails (for 15 min); check it\n"
                 "In works again, after 31 min\n",
                 {"start input_directory in: gone", "end input_directory in 1860"}},
        AlarmRow{"SomethingNewIsToldAtOnceWithoutMovingTheReminder",
                 true,
                 "In fails",
                 "moves have failed for",
                 {0, 1005, 15},
                 "In fails; check it\nIn fails (moves have failed for 5 min); check it\n"
                 "In fails (moves have failed for 15 min); check it\n",
                 {"start input_directory in: gone"}},
        AlarmRow{"HowLongIsNotToldWithoutAWord",
                 false,
                 "In fails",
                 "",
                 {0, 20, -21, -22},
                 "In fails; check it\nIn fails; check it\nIn works again, after 21 min\n",
                 {}},
        AlarmRow{"ALineAnotherPartPrintsKeepsTheEvents",
                 true,
                 "",
                 "for",
                 {0, 15, -16, 17},
                 "In works again, after 16 min\n",
                 {"start input_directory in: gone", "end input_directory in 960",
                  "start input_directory in: gone"}},
        AlarmRow{"ClearedWithoutBeingRaisedSaysNothing", true, "In fails", "for", {-1}, "", {}}),
    [](const ::testing::TestParamInfo<AlarmRow>& info) { return std::string(info.param.name); });

TEST_F(ScanLoopTest, AConnectionLostInAFileLeavesTheRestForLater) {
  write_file(in / "A.air", "a");
  write_file(in / "B.air", "b");
  loader.drop_connection_after_load = true;
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"A.air=a"});
  loader.drop_connection_after_load = false;
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"A.air=a", "A.air=a", "B.air=b"}));
}

// A file held back by a time ahead of the clock, or by changing between
// scans, is told once, and counts in the waiting age from when it was seen.
TEST_F(ScanLoopTest, FilesStillBeingWrittenWaitForALaterScanEvenWhenStampedAhead) {
  struct WaitingAges : ScanObserver {
    std::vector<std::int64_t> ages;
    void scan_done(const ScanReport& report) override {
      ages.push_back(report.oldest_waiting ? std::chrono::duration_cast<std::chrono::seconds>(
                                                 report.time - *report.oldest_waiting)
                                                 .count()
                                           : -1);
    }
  };
  const struct {
    bool growing;
    const char* told;
  } cases[] = {{false,
                "File X.air is dated 1 h 0 min ahead of this machine's clock; it is loaded "
                "once it has stayed unchanged for 5000 ms\n"},
               {true,
                "File X.air is still changing; it is loaded once it has stayed unchanged "
                "for 5000 ms\n"}};
  for (const auto& held : cases) {
    SCOPED_TRACE(held.told);
    out.take();
    loader.loaded.clear();
    env.clock = std::chrono::system_clock::now();
    write_file(in / "X.air", "x");
    // Another host's clock runs ahead, or the writer keeps the time current.
    env.modified_shift = held.growing ? std::chrono::seconds(0) : std::chrono::seconds(3630);
    auto loop = make_loop(in.string(), backup.string(), std::chrono::milliseconds(5000));
    WaitingAges ages;
    loop.observe(ages);
    for (int scan = 0; scan < 3; ++scan) {
      if (held.growing) {
        write_file(in / "X.air", std::string(scan + 1, 'x'));
        std::filesystem::last_write_time(in / "X.air",
                                         std::chrono::file_clock::from_sys(*env.clock));
      }
      loop.scan();
      *env.clock += std::chrono::seconds(2);
    }
    EXPECT_TRUE(loader.loaded.empty());
    EXPECT_EQ(ages.ages.back(), 4);
    for (int scan = 0; scan < 4 && loader.loaded.empty(); ++scan) {
      loop.scan();
      *env.clock += std::chrono::seconds(2);
    }
    EXPECT_EQ(loader.loaded.size(), 1u);
    EXPECT_EQ(ages.ages.back(), -1);
    EXPECT_EQ(qx::testing::occurrences(out.text(), held.told), 1u) << out.text();
  }
}

// A quiet loop leaves out the lines of a scan that found no file, and only
// those: a file left to settle is found, and its scan prints as ever.
TEST_F(ScanLoopTest, QuietIdleLeavesOutOnlyTheLinesOfScansThatFoundNoFile) {
  env.clock = std::chrono::system_clock::now();
  ScanSettings quiet{in.string(), backup.string(), "*.air", std::chrono::milliseconds(3600),
                     std::chrono::milliseconds(1000)};
  quiet.quiet_idle = true;
  ScanLoop loop(env, loader, quiet, out.file());
  loop.scan();
  EXPECT_EQ(out.take(), "");
  EXPECT_EQ(loader.empty_scans, 0);
  write_file(in / "X.air", "x");
  loop.scan();
  EXPECT_TRUE(out.take().starts_with("Scanning Directory " + in.string() + " "));
  EXPECT_EQ(loader.empty_scans, 1);
  *env.clock += std::chrono::milliseconds(1000);
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"X.air=x"});
  EXPECT_NE(out.take().find("Scanning Directory "), std::string::npos);
  loop.scan();
  EXPECT_EQ(out.take(), "");
}

TEST_F(ScanLoopTest, AnUnreadableInputDirectoryIsReportedAndNothingElseScanned) {
  write_file(std::filesystem::current_path() / "qx_scan_loop_decoy.air", "decoy");
  auto loop = make_loop((dir.path() / "missing").string(), backup.string());
  loop.scan();
  std::filesystem::remove(std::filesystem::current_path() / "qx_scan_loop_decoy.air");
  EXPECT_TRUE(loader.loaded.empty());
  EXPECT_NE(out.text().find("Cannot read the input directory " + (dir.path() / "missing").string()),
            std::string::npos);
}

TEST_F(ScanLoopTest, AStopRequestEndsTheLoopAfterTheFileInHand) {
  write_file(in / "A.air", "a");
  write_file(in / "B.air", "b");
  class StoppingLoader : public RecordingHandler {
   public:
    using RecordingHandler::RecordingHandler;
    void handle_file(FileJob& job) override {
      RecordingHandler::handle_file(job);
      os::request_stop();
    }
  } stopping(session);
  ScanLoop loop(env, stopping,
                {in.string(), backup.string(), "*.air", std::chrono::milliseconds(3600), {}, false},
                out.file());
  loop.run();  // would scan for ever without the stop
  EXPECT_EQ(stopping.loaded, std::vector<std::string>{"A.air=a"});
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_TRUE(std::filesystem::exists(in / "B.air"));
  EXPECT_EQ(env.sleeps, 0);
}

TEST_F(ScanLoopTest, ThePauseIsCutShortByAStop) {
  os::request_stop();
  pause_unless_stopped(env, std::chrono::milliseconds(3600));
  EXPECT_EQ(env.sleeps, 0);
  os::clear_stop_request();
  pause_unless_stopped(env, std::chrono::milliseconds(120));
  EXPECT_EQ(env.sleeps, 3);  // slept in short slices
}

// Puts a new file under `path` (a new inode, as a drop by copy-and-rename
// makes), replacing the one there.
void replace_file(const std::filesystem::path& path, std::string_view contents) {
  auto side = path.parent_path() / "side.tmp";
  write_file(side, contents);
  std::filesystem::rename(side, path);
}

std::vector<std::string> names_in(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(dir)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(ScanLoopTest, AFileLockedElsewhereIsSkippedSilentlyUntilReleased) {
  write_file(in / "A.air", "a");
  write_file(in / "B.air", "b");
  std::unique_ptr<os::FileLock> other_instance;
  ASSERT_TRUE(os::RealEnv().lock_file(in / "A.air", other_instance).ok());
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(loader.loaded, std::vector<std::string>{"B.air=b"});
  EXPECT_EQ(out.text().find("A.air"), std::string::npos);
  other_instance.reset();
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"B.air=b", "A.air=a"}));
}

// A name of the pattern that holds no regular file is told once and never
// read: a link is not followed (one to the file's own backup copy must not
// take its place), a FIFO is not waited on. With a failed directory a link
// goes there as the link it is; anything else stays.
TEST_F(ScanLoopTest, NamesHoldingNoRegularFileAreToldOnceAndNeverRead) {
  namespace fs = std::filesystem;
  struct Kind {
    const char* told;
    void (*make)(const fs::path& name, const fs::path& backup);
  };
  const Kind kinds[] = {
      {"a symbolic link",
       [](const fs::path& name, const fs::path& bk) { fs::create_symlink(bk / "X.air", name); }},
      {"a symbolic link",
       [](const fs::path& name, const fs::path& bk) { fs::create_directory_symlink(bk, name); }},
      {"a FIFO",
       [](const fs::path& name, const fs::path&) { ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0); }},
      {"a directory", [](const fs::path& name, const fs::path&) { fs::create_directory(name); }},
  };
  for (const Kind& kind : kinds) {
    for (bool failed_dir : {false, true}) {
      SCOPED_TRACE(std::string(kind.told) + (failed_dir ? ", with a failed directory" : ""));
      TempDir sweep;
      const auto sweep_in = sweep.make_dir("in"), sweep_backup = sweep.make_dir("backup");
      const auto failed = sweep.make_dir("failed");
      write_file(sweep_backup / "X.air", "backup copy");
      write_file(sweep_in / "Y.air", "y");
      kind.make(sweep_in / "X.air", sweep_backup);
      RecordingHandler handler(session);
      CapturedOutput printed;
      ScanLoop loop(env, handler, {sweep_in.string(), sweep_backup.string(), "*.air", {}, {}, true},
                    printed.file(), nullptr, {failed_dir ? failed.string() : ""});
      loop.scan();
      loop.scan();
      EXPECT_EQ(handler.loaded, std::vector<std::string>{"Y.air=y"});
      EXPECT_EQ(read_file(sweep_backup / "X.air"), "backup copy");
      EXPECT_EQ(qx::testing::occurrences(printed.text(), "File X.air"), 1u) << printed.text();
      EXPECT_NE(printed.text().find(kind.told), std::string::npos) << printed.text();
      const bool link_moved = failed_dir && kind.told == std::string("a symbolic link");
      EXPECT_EQ(fs::is_symlink(failed / "X.air"), link_moved);
      EXPECT_EQ(fs::exists(fs::symlink_status(sweep_in / "X.air")), !link_moved);
    }
  }
}

TEST_F(ScanLoopTest, AFileReplacedWhileLoadedLeavesTheLoadedBytesInTheBackup) {
  write_file(in / "X.air", "loaded");
  write_file(backup / "X.air", "older backup");
  loader.after_read = [&] { replace_file(in / "X.air", "dropped later"); };
  auto loop = make_loop();
  loop.scan();
  EXPECT_EQ(read_file(backup / "X.air"), "loaded");
  EXPECT_EQ(read_file(in / "X.air"), "dropped later");
  EXPECT_NE(out.text().find("File X.air was replaced while it was loaded"), std::string::npos);
  loader.after_read = nullptr;
  loop.scan();
  EXPECT_EQ(loader.loaded, (std::vector<std::string>{"X.air=loaded", "X.air=dropped later"}));
  EXPECT_EQ(read_file(backup / "X.air"), "dropped later");
  EXPECT_EQ(names_in(backup), std::vector<std::string>{"X.air"});
}

// Every file-system call of a scan failing in turn, once or from then on,
// on one file system and across two, for a plain name, a name replaced
// after the load, a name as long as a name can be (its temporaries must
// still fit) and a file with a second link in the backup directory: after
// one scan without faults the file was loaded once (the load history says
// so after a failed move), its bytes are whole in the backup directory, and
// no temporary is left.
TEST_F(ScanLoopTest, EveryFailedFileSystemCallIsMadeGoodByTheNextScan) {
  const std::string bytes("bytes\0with a NUL\r\n", 19);
  struct Variant {
    const char* what;
    std::string name;
    bool replaced = false;
    bool linked = false;
  };
  const Variant variants[] = {
      {"plain", "X.air"},
      {"replaced", "X.air", true},
      {"a name of 255 bytes", std::string(251, 'L') + ".air"},
      {"a second link in the backup directory", "X.air", false, true},
  };
  for (const Variant& variant : variants) {
    const std::string& name = variant.name;
    for (bool across_devices : {false, true}) {
      for (bool for_ever : {false, true}) {
        bool fault_fired = true;
        for (int n = 1; fault_fired; ++n) {
          SCOPED_TRACE(::testing::Message()
                       << "call " << n << (for_ever ? " on" : " once")
                       << (across_devices ? ", across devices, " : ", ") << variant.what);
          TempDir sweep;
          auto sweep_in = sweep.make_dir("in"), sweep_backup = sweep.make_dir("backup");
          write_file(sweep_in / name, bytes);
          if (variant.linked)
            std::filesystem::create_hard_link(sweep_in / name, sweep_backup / name);
          FaultyEnv faulty;
          faulty.rename_crosses_devices = across_devices;
          faulty.fail_call_at = n;
          faulty.fail_for_ever = for_ever;
          auto database = db::make_session(
              db::parse_target("qx@sqlite:" + (sweep.path() / "office.db").string(), ""));
          ASSERT_TRUE(database->connect().ok());
          history::LoadHistory history(*database, "corvane", "sweep");
          HistoryWritingHandler handler(*database);
          bool replace_pending = variant.replaced;
          handler.after_commit = [&] {
            if (std::exchange(replace_pending, false)) replace_file(sweep_in / name, "later");
          };
          ScanLoop loop(faulty, handler,
                        {sweep_in.string(), sweep_backup.string(), "*.air", {}, {}, true},
                        out.file(), &history);
          loop.scan();
          fault_fired = faulty.calls >= n;
          faulty.fail_call_at = 0;
          loop.scan();
          if (!variant.replaced) {
            EXPECT_EQ(handler.loaded.size(), 1u);
            EXPECT_EQ(names_in(sweep_in), std::vector<std::string>{});
            EXPECT_EQ(names_in(sweep_backup), std::vector<std::string>{name});
            EXPECT_EQ(read_file(sweep_backup / name), bytes);
            continue;
          }
          // The loaded bytes reached the backup directory whole, unless the
          // store failed; the file dropped later is loaded by its own scan.
          if (std::filesystem::exists(sweep_in / name)) loop.scan();
          EXPECT_EQ(handler.loaded,
                    (std::vector<std::string>{name + "=" + bytes, name + "=later"}));
          EXPECT_EQ(names_in(sweep_in), std::vector<std::string>{});
          EXPECT_EQ(names_in(sweep_backup), std::vector<std::string>{name});
          EXPECT_EQ(read_file(sweep_backup / name), "later");
        }
      }
    }
  }
}

}  // namespace
}  // namespace qx::scan
