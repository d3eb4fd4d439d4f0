// One run of a loader's file handling on the scan loop, as its program runs
// it, for the tests that make the database or the file system fail: its own
// input and backup directories holding the files given, a session that
// fails on demand (faulty_session.h) on a test database, a file system that
// fails on demand (faulty_env.h), a load history, and the output captured.
// The loop scans once per scan() with no pause and no settle time, and
// connects the session at its first scan.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "corvane/corvane_file_handler.h"
#include "db/backend_database.h"
#include "db/make_session.h"
#include "history/load_history.h"
#include "meridon_full/meridon_file_handler.h"
#include "scan/scan_loop.h"
#include "support/captured_output.h"
#include "support/faulty_env.h"
#include "support/faulty_session.h"
#include "support/temp_dir.h"
#include "tarvo/tarvo_file_handler.h"

namespace qx::testing {

// Name and contents of each file of a run.
using Files = std::vector<std::pair<std::string, std::string>>;

// A loader family's file handling: the program's name (as the schema and
// the history know it), its pattern, and how its handler is built.
struct Handling {
  const char* program;
  const char* pattern;
  // `batch` is the run's limits, for a handler that takes them itself.
  std::unique_ptr<scan::FileHandler> (*make)(db::Session& session, os::Console console,
                                             scan::BatchLimits batch);
};

inline std::unique_ptr<scan::FileHandler> make_tarvo_files(db::Session& session,
                                                           os::Console console, scan::BatchLimits) {
  return std::make_unique<tarvo::TarvoFileHandler>(session, false, console);
}

inline std::unique_ptr<scan::FileHandler> make_corvane_files(db::Session& session,
                                                             os::Console console,
                                                             scan::BatchLimits batch) {
  return std::make_unique<corvane::CorvaneFileHandler>(session, corvane::AirBuild::base, console,
                                                       batch);
}

inline std::unique_ptr<scan::FileHandler> make_meridon_files(db::Session& session,
                                                             os::Console console,
                                                             scan::BatchLimits) {
  return std::make_unique<meridon_full::MeridonFileHandler>(session, false, console);
}

inline constexpr Handling kTarvoHandling = {"tarvo", "*.PNR", make_tarvo_files};
inline constexpr Handling kMeridonHandling = {"meridon_full", "*.MIR", make_meridon_files};
inline constexpr Handling kCorvaneHandling = {"corvane", "*.air", make_corvane_files};

class FileHandlingRun {
 public:
  // Writes `files` into the input directory; `target` is the loaders' first
  // argument for the database.
  // `batch` limits the files (and AIR lines) of one transaction, for a
  // handler that takes batches (one each by default); `failed` says where
  // unloadable files go (nowhere by default).
  FileHandlingRun(const Handling& handling, const std::string& target, const Files& files,
                  scan::BatchLimits batch = scan::kOneAtATime, scan::FailedSettings failed = {})
      : in(dir.make_dir("in")), backup(dir.make_dir("backup")) {
    for (const auto& [name, text] : files) write_file(in / name, text);
    auto faulty = std::make_unique<FaultySession>(db::make_session(db::parse_target(target, "")));
    session = faulty.get();
    owned_session = std::move(faulty);
    // One console for the handler and the loop, as a program has: what
    // the loop holds back holds back the handler's lines too.
    const os::Console console(out.file());
    handler = handling.make(*session, console, batch);
    history = std::make_unique<history::LoadHistory>(*session, handling.program, "test-run");
    loop = std::make_unique<scan::ScanLoop>(
        env, *handler,
        scan::ScanSettings{in.string(), backup.string(), handling.pattern,
                           std::chrono::milliseconds(0), std::chrono::milliseconds(0), true, false,
                           batch},
        console, history.get(), std::move(failed));
  }

  TempDir dir;
  std::filesystem::path in, backup;
  FaultyEnv env;
  CapturedOutput out;
  FaultySession* session = nullptr;

 private:
  std::unique_ptr<db::Session> owned_session;

 public:
  std::unique_ptr<scan::FileHandler> handler;
  std::unique_ptr<history::LoadHistory> history;
  std::unique_ptr<scan::ScanLoop> loop;
};

}  // namespace qx::testing
