#include "corvane/corvane_file_handler.h"

#include <algorithm>

#include "os/console.h"
#include "os/shown_name.h"
#include "os/stop_signal.h"
#include "os/text_reading.h"

namespace qx::corvane {

CorvaneFileHandler::CorvaneFileHandler(db::Session& session, AirBuild build, os::Console console,
                                       scan::BatchLimits limits)
    : session_(session), console_(console), loader_(session, build, console), limits_(limits) {
  loader_.set_copy_rows_from(limits.copy_rows_from);
}

void CorvaneFileHandler::handle_file(scan::FileJob& job) {
  scan::FileJob* const jobs[] = {&job};
  if (limits_.lines > 1) {
    handle_batch(jobs);
    return;
  }
  files_.assign(1, AirFile());
  AirFile& file = files_.front();
  file.job = &job;
  std::optional<LoadResult> result = open_file(file);
  while (!result) result = take_line_alone(file);
  end_file(finish_file(file, *result));
  files_.clear();
}

std::optional<CorvaneFileHandler::LoadResult> CorvaneFileHandler::open_file(AirFile& file) {
  scan::FileJob& job = *file.job;
  const std::string& name = job.name();
  file.opened = true;
  os::IoResult read = job.read(file.contents);
  if (!read.ok()) {
    job.report().why = "cannot be read: " + read.reason();
    if (job.tell_read_failure()) {
      console_.print("Cannot open " + os::shown_name(name) + ": " + read.reason() +
                         "; it stays for the next scan\n",
                     os::Priority::warning);
    }
    return LoadResult::unread;
  }
  console_.print("Currently Processing " + os::shown_name(name) + "\n\n");
  os::end_at_ctrl_z(file.contents);
  os::fold_crlf(file.contents);
  for (std::size_t line : os::blank_nul_bytes(file.contents, '\n')) {
    console_.about_line(name, line, os::Notice::nul_byte, "NUL byte read as a blank");
  }
  const history::HistoryEntry history = job.history_entry();
  const history::LoadProgress& earlier = job.progress();
  const bool resumed = history.history != nullptr && earlier.lines_done > 0;
  if (resumed) {
    loader_.resume_file(name, earlier);
    console_.print("Resuming " + os::shown_name(name) + " after line " +
                   std::to_string(earlier.lines_done) + ", the last one stored\n");
  } else {
    loader_.begin_file(name);
  }
  file.history_row_written =
      history.history != nullptr && earlier.state != history::LoadProgress::State::new_file;
  file.lines = os::split_at_line_feeds(file.contents);
  file.next_line =
      resumed ? std::min(static_cast<std::size_t>(earlier.lines_done), file.lines.size()) : 0;
  refused_own_data_ = false;
  if (!resumed && no_line_known(job, file.lines)) return LoadResult::set_aside;
  return std::nullopt;
}

std::optional<CorvaneFileHandler::LoadResult> CorvaneFileHandler::take_line_alone(AirFile& file) {
  const history::HistoryEntry history = file.job->history_entry();
  const auto failed = [&] {
    return session_.connected() ? LoadResult::refused : LoadResult::connection_lost;
  };
  if (file.next_line == file.lines.size()) {
    // A file without a line is loaded all the same, and said to be.
    if (history.history != nullptr && file.lines.empty() &&
        (start_history(history) != LineOutcome::done ||
         commit_line(history, 0, true) != LineOutcome::done)) {
      (void)session_.rollback();  // fails only with nothing left to undo
      return failed();
    }
    return LoadResult::loaded;
  }
  // A stop request ends the file between two lines; the history says where.
  if (os::stop_requested()) return LoadResult::stopped;
  const history::LoadProgress committed = loader_.account();
  const std::size_t line_number = file.next_line + 1;
  LineOutcome outcome = LineOutcome::done;
  if (history.history != nullptr && !file.history_row_written) outcome = start_history(history);
  if (outcome == LineOutcome::done) {
    outcome = loader_.process_line(file.lines[file.next_line], line_number);
  }
  if (outcome == LineOutcome::done) {
    outcome = commit_line(history, line_number, line_number == file.lines.size());
  }
  if (outcome != LineOutcome::done) {
    (void)session_.rollback();  // fails only with nothing left to undo
    // Taken up again from the history, the file continues from here;
    // without one, it starts again from its first line.
    if (history.history != nullptr) loader_.restore(committed);
    return failed();
  }
  file.history_row_written = history.history != nullptr;
  ++file.next_line;
  if (file.next_line == file.lines.size()) return LoadResult::loaded;
  return std::nullopt;
}

CorvaneFileHandler::FileEnd CorvaneFileHandler::finish_file(AirFile& file, LoadResult result) {
  if (result != LoadResult::unread) {
    console_.end_of_file();
    scan::FileReport& report = file.job->report();
    note_report(report, result);
    report.database_refused =
        result == LoadResult::refused && !refused_own_data_ && session_.connected();
  }
  return {&file, result, loader_.refusal(), loader_.account().lines_done};
}

void CorvaneFileHandler::end_file(const FileEnd& end) {
  tell_outcome(end);
  // The completion line follows every file the scan found, whatever became
  // of it, as for the other loaders.
  console_.print(kFileReadComplete);
  end.file->job->tell_database_outcome();
  // What the file's lines viewed is not needed any more.
  end.file->contents = std::string();
  end.file->lines = {};
}

bool CorvaneFileHandler::rest_waits(const AirFile& file) const {
  return !session_.connected() || file.job->report().database_refused || os::stop_requested();
}

void CorvaneFileHandler::tell_outcome(const FileEnd& end) {
  scan::FileJob& job = *end.file->job;
  switch (end.result) {
    case LoadResult::loaded:
      job.move_to_backup();
      return;
    case LoadResult::unread:
      return;
    case LoadResult::connection_lost:
      console_.print("The database connection was lost while loading " +
                         os::shown_name(job.name()) + "; the file stays for the next scan\n",
                     os::Priority::err);
      return;
    case LoadResult::refused:
      // Only a refusal of the file's own data counts against the file.
      if (refused_own_data_ &&
          job.count_failed_load(scan::FileReport::SetAside::refused, end.refusal)) {
        return;
      }
      console_.print(end.refusal + "; the file stays for a later scan\n", os::Priority::warning);
      return;
    case LoadResult::set_aside:
      job.move_to_failed(scan::FileReport::SetAside::no_known_record,
                         "it holds no record this loader knows");
      return;
    case LoadResult::stopped:
      console_.print("Stopped in " + os::shown_name(job.name()) + " after line " +
                     std::to_string(end.lines_done) +
                     "; the file resumes at the next line when the loader starts again\n");
      return;
  }
}

LineOutcome CorvaneFileHandler::start_history(const history::HistoryEntry& history) {
  db::Status opened = history.history->open_entry(*history.file);
  if (opened.ok()) return LineOutcome::done;
  loader_.report_sql_error(opened);
  loader_.refuse("The load history of " + history.file->name +
                 " could not be written: " + opened.message);
  return LineOutcome::systemic_failure;
}

LineOutcome CorvaneFileHandler::commit_line(const history::HistoryEntry& history,
                                            std::size_t line_number, bool last_line) {
  history::LoadProgress& account = loader_.account();
  account.lines_done = static_cast<std::int64_t>(line_number);
  account.state =
      last_line ? history::LoadProgress::State::loaded : history::LoadProgress::State::loading;
  if (history.history != nullptr) {
    db::Status written = history.history->write_progress(*history.file, account);
    if (written.failed()) {
      loader_.report_sql_error(written);
      loader_.refuse("The load history of " + history.file->name +
                     " could not be written: " + written.message);
      return LineOutcome::systemic_failure;
    }
  }
  db::Status committed = session_.commit();
  if (committed.ok()) return LineOutcome::done;
  loader_.report_sql_error(committed);
  refused_own_data_ =
      committed.row_failure() && !history::is_conflict(committed) && session_.connected();
  // Without a history the documented behaviour stands: the line is lost and
  // the file goes on.
  if (history.history == nullptr && session_.connected()) return LineOutcome::done;
  loader_.refuse("The commit of line " + std::to_string(line_number) +
                 " failed: " + committed.message);
  return LineOutcome::systemic_failure;
}

void CorvaneFileHandler::note_report(scan::FileReport& report, LoadResult result) {
  const history::LoadProgress& account = loader_.account();
  report.committed = result == LoadResult::loaded;
  report.key = static_cast<std::int64_t>(loader_.booking_key());
  report.lines_read = account.lines_done;
  report.rows_stored = account.rows_stored;
  report.rows_rejected = account.rows_rejected;
  report.tally = loader_.tally();
  switch (result) {
    case LoadResult::loaded:
    case LoadResult::unread:
      break;
    case LoadResult::connection_lost:
      report.why = "the database connection was lost";
      break;
    case LoadResult::refused:
      report.why = loader_.refusal();
      break;
    case LoadResult::stopped:
      report.why = "stopped after line " + std::to_string(account.lines_done);
      break;
    case LoadResult::set_aside:
      report.why = "set aside into the failed directory";
      break;
  }
}

bool CorvaneFileHandler::no_line_known(scan::FileJob& job,
                                       const std::vector<std::string_view>& lines) {
  // An empty file is loaded as ever: it is no other format's file.
  if (lines.empty() || std::any_of(lines.begin(), lines.end(), [&](std::string_view line) {
        return loader_.knows_line(line);
      })) {
    return false;
  }
  const bool set_aside = job.has_failed_directory();
  console_.print("File " + os::shown_name(job.name()) + " holds no record this loader knows; " +
                     (set_aside ? "it is not loaded\n" : "it is loaded with no rows\n"),
                 os::Priority::warning);
  return set_aside;
}

void CorvaneFileHandler::on_scan_without_files() {
  console_.print(kFileReadComplete);
}

}  // namespace qx::corvane
