// The fixture of the tests that drive a fixed-record loader's file handling
// `Files` (built from session, verbose flag and output) through the scan
// loop (loader_files_test.h), over the files matching a pattern.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "support/loader_files_test.h"

namespace qx::testing {

template <class Files>
class RecordFilesTest : public LoaderFilesTest {
 protected:
  RecordFilesTest(std::string database_file, std::string pattern)
      : LoaderFilesTest(std::move(database_file)), pattern_(std::move(pattern)) {}

  // The file handling on `target` (the SQLite database when empty), and a
  // scan loop over it.
  void start(bool verbose = false, const std::string& target = {}) {
    open_session(target.empty() ? "test@" + database : target);
    files = std::make_unique<Files>(*session, verbose, out.file());
    restart_loop();
  }
  // A new scan loop over the file handling, as after a restart.
  void restart_loop() { start_loop(*files, pattern_, std::chrono::milliseconds(10000)); }
  // What a scan printed after its scanning line.
  std::string scan_output() {
    loop->scan();
    std::string printed = out.take();
    const std::string scanning = " for " + pattern_ + " Files\n";
    const auto end = printed.find(scanning);
    EXPECT_NE(end, std::string::npos) << printed;
    return end == std::string::npos ? printed : printed.substr(end + scanning.size());
  }

  std::unique_ptr<scan::FileHandler> files;

 private:
  std::string pattern_;
};

}  // namespace qx::testing
