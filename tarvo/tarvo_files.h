// How the PNR loader takes one file of a scan: read it whole, print
// "Currently Processing", cut it into records at carriage returns, file
// every record, load the file as one transaction, and move it into the
// backup directory; "File Read Complete" closes every file and every scan
// that found none.
//
// A file is moved only when its transaction committed. A file that cannot
// be read, or whose key could not be drawn or whose commit failed, stays in
// the input directory and is taken again at a later scan; nothing of it was
// stored, so it is loaded exactly once in the end.
#pragma once

#include <cstdio>
#include <string>

#include "driver/console.h"
#include "driver/scan_loop.h"
#include "tarvo/pnr_loader.h"

namespace qx::tarvo {

class TarvoFiles : public driver::FileHandler {
 public:
  TarvoFiles(db::Session& session, bool verbose_flag, driver::Console console);

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void handle_file(driver::FileJob& job) override;
  void on_scan_without_files() override;

  const PnrLoader& loader() const { return loader_; }

 private:
  void parse_records(const std::string& name);

  db::Session& session_;
  bool verbose_flag_;
  driver::Console console_;
  PnrLoader loader_;
  // The file in hand; the filed rows view it until the load is done.
  std::string contents_;
};

}  // namespace qx::tarvo
