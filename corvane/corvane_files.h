// How the AIR loader takes one file of a scan: read it in text mode, print
// "Currently Processing", load it line by line with a commit after every
// line, move it into the backup directory and print "File Read Complete".
// A file that cannot be opened is left for the next scan; a connection lost
// in the middle of a file leaves the file in place, and so does a line that
// cannot have a booking key (rolled back, one line printed saying why). Such
// a file is loaded again from its first line at a later scan.
#pragma once

#include <cstdio>
#include <string>

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
  enum class LoadResult { loaded, connection_lost, no_booking_key };
  // Loads every line, each committed by itself, until the end or the first
  // line that ends the file's load in this scan.
  LoadResult load_lines(const std::string& name, std::string& contents);

  db::Session& session_;
  driver::Console console_;
  AirLoader loader_;
  std::string contents_;
};

}  // namespace qx::corvane
