// A file handler that loads a file as a loader does, with nothing but the
// load history to store: the file's history row is written and marked
// loaded in one transaction, and then the file is moved. The scan loop
// tests use it to see what the loop and the history make of each file.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "db/session.h"
#include "history/load_history.h"
#include "scan/scan_loop.h"

namespace qx::testing {

class HistoryWritingHandler : public scan::FileHandler {
 public:
  explicit HistoryWritingHandler(db::Session& session) : session_(session) {}
  // "NAME=CONTENTS" of every file loaded, in order.
  std::vector<std::string> loaded;
  // Runs between the commit and the move.
  std::function<void()> after_commit;

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { sql_errors.push_back(status.message); }
  void handle_file(scan::FileJob& job) override {
    std::string contents;
    if (!job.read(contents).ok()) return;
    history::HistoryEntry entry = job.history_entry();
    ASSERT_NE(entry.history, nullptr);
    history::LoadProgress done;
    done.state = history::LoadProgress::State::loaded;
    done.rows_stored = 1;
    if (entry.history->open_entry(*entry.file).failed() ||
        entry.history->write_progress(*entry.file, done).failed() || session_.commit().failed()) {
      (void)session_.rollback();  // fails only with nothing left to undo
      return;
    }
    loaded.push_back(job.name() + "=" + contents);
    if (after_commit) after_commit();
    job.move_to_backup();
  }
  void on_scan_without_files() override {}

  std::vector<std::string> sql_errors;

 private:
  db::Session& session_;
};

}  // namespace qx::testing
