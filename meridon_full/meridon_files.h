// How the MIR loader takes one file of a scan: print "Currently Processing",
// read the file, take its first 342 characters as the header line (when the
// file begins with the header's tag) and cut the rest into lines at
// carriage returns, file every line, load the file as one transaction, and
// move it into the backup directory.
//
// A file is moved only when its transaction committed. A file that cannot
// be read, or whose key could not be drawn or whose commit failed, stays in
// the input directory and is taken again at a later scan; nothing of it was
// stored, so it is loaded exactly once in the end. A scan that finds no file
// prints nothing beyond its scanning line.
#pragma once

#include <cstdio>
#include <string>

#include "driver/console.h"
#include "driver/scan_loop.h"
#include "meridon_full/mir_loader.h"

namespace qx::meridon_full {

inline constexpr const char* kFileNotFound = "File Not Found...";

class MeridonFiles : public driver::FileHandler {
 public:
  MeridonFiles(db::Session& session, bool verbose_flag, driver::Console console);

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void handle_file(driver::FileJob& job) override;
  void on_scan_without_files() override {}

  const MirLoader& loader() const { return loader_; }

 private:
  void parse_lines(const std::string& name);
  // Moves the header line, when the file has one, from body_ into header_.
  void take_header();

  db::Session& session_;
  bool verbose_flag_;
  driver::Console console_;
  MirLoader loader_;
  // The file in hand, header line and body apart; the filed rows view them
  // until the load is done.
  std::string header_;
  std::string body_;
};

}  // namespace qx::meridon_full
