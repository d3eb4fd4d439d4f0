#include "corvane/corvane_files.h"

#include "driver/console.h"
#include "driver/text_reading.h"

namespace qx::corvane {

CorvaneFiles::CorvaneFiles(db::Session& session, AirBuild build, driver::Console console)
    : session_(session), console_(console), loader_(session, build, console) {}

void CorvaneFiles::handle_file(driver::FileJob& job) {
  driver::IoResult read = job.read(contents_);
  if (!read.ok()) {
    console_.print("Cannot open " + job.name() + ": " + read.reason() +
                   "; it stays for the next scan\n");
    console_.print(kFileReadComplete);
    return;
  }
  console_.print("Currently Processing " + job.name() + "\n\n");
  switch (load_lines(job.name(), contents_)) {
    case LoadResult::loaded:
      break;
    case LoadResult::connection_lost:
      console_.print("The database connection was lost while loading " + job.name() +
                     "; the file stays for the next scan\n");
      return;
    case LoadResult::no_booking_key:
      console_.print(loader_.refusal() + "; the file stays for a later scan\n");
      return;
  }
  job.move_to_backup();
  console_.print(kFileReadComplete);
}

CorvaneFiles::LoadResult CorvaneFiles::load_lines(const std::string& name, std::string& contents) {
  driver::end_at_ctrl_z(contents);
  driver::fold_crlf(contents);
  for (std::size_t line : driver::blank_nul_bytes(contents, '\n')) {
    console_.about_line(name, line, "NUL byte read as a blank");
  }
  loader_.begin_file(name);
  std::size_t line_number = 0;
  for (std::string_view line : driver::split_at_line_feeds(contents)) {
    if (loader_.process_line(line, ++line_number) == LineOutcome::no_booking_key) {
      session_.rollback();
      return LoadResult::no_booking_key;
    }
    db::Status committed = session_.commit();
    if (committed.failed()) loader_.report_sql_error(committed);
    if (!session_.connected()) return LoadResult::connection_lost;
  }
  return LoadResult::loaded;
}

void CorvaneFiles::on_scan_without_files() {
  console_.print(kFileReadComplete);
}

}  // namespace qx::corvane
