#include "corvane/corvane_files.h"

#include "driver/console.h"
#include "driver/text_reading.h"

namespace qx::corvane {

CorvaneFiles::CorvaneFiles(db::Session& session, AirBuild build, std::FILE* out)
    : session_(session), out_(out), loader_(session, build, out) {}

void CorvaneFiles::handle_file(driver::FileJob& job) {
  driver::IoResult read = job.read(contents_);
  if (!read.ok()) {
    print("Cannot open " + job.name() + ": " + read.reason() + "; it stays for the next scan\n");
    print(kFileReadComplete);
    return;
  }
  print("Currently Processing " + job.name() + "\n\n");
  if (!load_lines(job.name(), contents_)) {
    print("The database connection was lost while loading " + job.name() +
          "; the file stays for the next scan\n");
    return;
  }
  job.move_to_backup();
  print(kFileReadComplete);
}

bool CorvaneFiles::load_lines(const std::string& name, std::string& contents) {
  driver::end_at_ctrl_z(contents);
  driver::fold_crlf(contents);
  for (std::size_t line : driver::blank_nul_bytes(contents, '\n')) {
    print("File " + name + " line " + std::to_string(line) + ": NUL byte read as a blank\n");
  }
  loader_.begin_file(name);
  std::size_t line_number = 0;
  for (std::string_view line : driver::split_at_line_feeds(contents)) {
    loader_.process_line(line, ++line_number);
    db::Status committed = session_.commit();
    if (committed.failed()) loader_.report_sql_error(committed);
    if (!session_.connected()) return false;
  }
  return true;
}

void CorvaneFiles::on_scan_without_files() {
  print(kFileReadComplete);
}

void CorvaneFiles::print(const std::string& text) {
  driver::print_line(out_, text);
}

}  // namespace qx::corvane
