#include "scan/file_job.h"

#include "os/move_file.h"
#include "scan/database_watch.h"
#include "scan/file_moves.h"

namespace qx::scan {

os::IoResult FileJob::read(std::string& contents) {
  contents = read_result_.ok() ? bytes_read_ : std::string();
  return read_result_;
}

bool FileJob::move_to_backup() {
  const os::IoResult moved =
      read_result_.ok() ? moves_.move_loaded(name_, node_read_, bytes_read_) : read_result_;
  moved_ = moved.ok();
  copied_ = moved_ || copied_before_failure(moved);
  return moved_;
}

void FileJob::tell_database_outcome() {
  // Whether the rest of the scan waits is the loop's to decide, after the
  // file: here the refusal (or its end) is only told.
  static_cast<void>(database_.note_outcome(report_));
}

bool FileJob::count_failed_load(FileReport::SetAside reason, const std::string& what) {
  if (moves_.count_attempt(entry_, what)) note_set_aside(reason, what);
  return moved_;
}

bool FileJob::move_to_failed(FileReport::SetAside reason, const std::string& what) {
  if (moves_.give_up(entry_, what)) note_set_aside(reason, what);
  return moved_;
}

void FileJob::note_set_aside(FileReport::SetAside reason, const std::string& what) {
  moved_ = true;
  set_aside_ = reason;
  set_aside_why_ = what;
}

bool FileJob::has_failed_directory() const {
  return moves_.has_failed_directory();
}

std::string FileJob::source_display() const {
  return moves_.source_display(name_);
}

std::string FileJob::destination_display() const {
  return moves_.backup_display(name_);
}

void FileJob::claimed(history::LoadHistory& history, const history::LoadProgress& progress) {
  history_ = &history;
  progress_ = progress;
  adopt_earlier_row(bytes_read_, identity_, progress_);
}

}  // namespace qx::scan
