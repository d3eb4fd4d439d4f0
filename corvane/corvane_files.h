// How the AIR loader takes one file of a scan: read it in text mode, print
// "Currently Processing", load it line by line with a commit after every
// line, move it into the backup directory and print "File Read Complete".
// A file that cannot be opened is left for the next scan; a connection lost
// in the middle of a file leaves the file in place, and so does a line that
// cannot be stored for a reason that is not its data (no booking key, a
// failing database: rolled back, one line printed saying why) and a stop
// request between two lines. The load history holds how far the file got:
// it is taken up again at its first line not stored, with the booking key
// and serials it had there, so that its rows are those of one load.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/air_loader.h"
#include "driver/console.h"
#include "driver/scan_loop.h"

namespace qx::corvane {

inline constexpr const char* kFileReadComplete = "File Read Complete. Waiting for Next File\n\n";

class CorvaneFiles : public driver::FileHandler {
 public:
  CorvaneFiles(db::Session& session, AirBuild build, driver::Console console);

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void handle_file(driver::FileJob& job) override;
  void on_scan_without_files() override;

  const AirLoader& loader() const { return loader_; }

 private:
  enum class LoadResult {
    loaded,
    connection_lost,
    refused,  // a line could not be stored: the file waits at that line
    stopped,  // a stop request came between two lines
    // No line is one the loader knows, and the file is to be set aside
    // into the failed directory without being loaded.
    set_aside,
  };
  // Loads every line not yet stored, each committed by itself with the
  // file's history row, until the end or the first line that ends the
  // file's load in this scan.
  LoadResult load_lines(driver::FileJob& job, std::string& contents);
  // Writes the file's history row, in the transaction of its first line.
  LineOutcome start_history(const driver::HistoryEntry& history);
  // Advances the history row to `line_number` (the file's last line marks it
  // loaded) and commits the line.
  LineOutcome commit_line(const driver::HistoryEntry& history, std::size_t line_number,
                          bool last_line);

  // Moves the file after its load, or says why it waits.
  void tell_outcome(driver::FileJob& job, LoadResult result);
  // What the load stored, and why the file waits if it does.
  void note_report(driver::FileReport& report, LoadResult result);
  // Tells a file with lines none of which the loader knows; true when it is to
  // be set aside rather than loaded (there is a failed directory).
  bool no_line_known(driver::FileJob& job, const std::vector<std::string_view>& lines);

  db::Session& session_;
  driver::Console console_;
  AirLoader loader_;
  std::string contents_;
  // Set when the last refused line was refused for its own data (its commit
  // broke a deferred constraint), which counts against the file.
  bool refused_own_data_ = false;
};

}  // namespace qx::corvane
