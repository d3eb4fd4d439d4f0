#include "corvane/corvane_files.h"

#include <algorithm>

#include "driver/console.h"
#include "driver/stop_signal.h"
#include "driver/text_reading.h"

namespace qx::corvane {

CorvaneFiles::CorvaneFiles(db::Session& session, AirBuild build, driver::Console console)
    : session_(session), console_(console), loader_(session, build, console) {}

void CorvaneFiles::handle_file(driver::FileJob& job) {
  driver::IoResult read = job.read(contents_);
  if (!read.ok()) {
    job.report().why = "cannot be read: " + read.reason();
    if (job.tell_read_failure()) {
      console_.print("Cannot open " + job.name() + ": " + read.reason() +
                     "; it stays for the next scan\n");
    }
    console_.print(kFileReadComplete);
    return;
  }
  console_.print("Currently Processing " + job.name() + "\n\n");
  const LoadResult result = load_lines(job, contents_);
  console_.end_of_file();
  note_report(job.report(), result);
  job.report().database_refused =
      result == LoadResult::refused && !refused_own_data_ && session_.connected();
  tell_outcome(job, result);
  // The completion line follows every file the scan found, whatever became
  // of it, as for the other loaders.
  console_.print(kFileReadComplete);
}

void CorvaneFiles::tell_outcome(driver::FileJob& job, LoadResult result) {
  switch (result) {
    case LoadResult::loaded:
      job.move_to_backup();
      return;
    case LoadResult::connection_lost:
      console_.print("The database connection was lost while loading " + job.name() +
                     "; the file stays for the next scan\n");
      return;
    case LoadResult::refused:
      // Only a refusal of the file's own data counts against the file.
      if (refused_own_data_ &&
          job.count_failed_load(driver::FileReport::SetAside::refused, loader_.refusal()))
        return;
      console_.print(loader_.refusal() + "; the file stays for a later scan\n");
      return;
    case LoadResult::set_aside:
      job.move_to_failed(driver::FileReport::SetAside::no_known_record,
                         "it holds no record this loader knows");
      return;
    case LoadResult::stopped:
      console_.print("Stopped in " + job.name() + " after line " +
                     std::to_string(loader_.account().lines_done) +
                     "; the file resumes at the next line when the loader starts again\n");
      return;
  }
}

CorvaneFiles::LoadResult CorvaneFiles::load_lines(driver::FileJob& job, std::string& contents) {
  const std::string& name = job.name();
  driver::end_at_ctrl_z(contents);
  driver::fold_crlf(contents);
  for (std::size_t line : driver::blank_nul_bytes(contents, '\n')) {
    console_.about_line(name, line, driver::Notice::nul_byte, "NUL byte read as a blank");
  }
  const driver::HistoryEntry history = job.history_entry();
  const driver::LoadProgress& earlier = job.progress();
  const bool resumed = history.history != nullptr && earlier.lines_done > 0;
  if (resumed) {
    loader_.resume_file(name, earlier);
    console_.print("Resuming " + name + " after line " + std::to_string(earlier.lines_done) +
                   ", the last one stored\n");
  } else {
    loader_.begin_file(name);
  }
  bool history_row_written =
      history.history != nullptr && earlier.state != driver::LoadProgress::State::new_file;

  const auto lines = driver::split_at_line_feeds(contents);
  refused_own_data_ = false;
  if (!resumed && no_line_known(job, lines)) return LoadResult::set_aside;
  std::size_t line_number = 0;
  for (auto it = lines.begin(); it != lines.end(); ++it) {
    ++line_number;
    if (resumed && line_number <= static_cast<std::size_t>(earlier.lines_done)) continue;
    // A stop request ends the file between two lines; the history says where.
    if (driver::stop_requested()) return LoadResult::stopped;
    const driver::LoadProgress committed = loader_.account();
    LineOutcome outcome = LineOutcome::done;
    if (history.history != nullptr && !history_row_written) {
      outcome = start_history(history);
    }
    if (outcome == LineOutcome::done) outcome = loader_.process_line(*it, line_number);
    if (outcome == LineOutcome::done) {
      outcome = commit_line(history, line_number, std::next(it) == lines.end());
    }
    if (outcome != LineOutcome::done) {
      session_.rollback();
      // Taken up again from the history, the file continues from here;
      // without one, it starts again from its first line.
      if (history.history != nullptr) loader_.restore(committed);
      return session_.connected() ? LoadResult::refused : LoadResult::connection_lost;
    }
    history_row_written = history.history != nullptr;
  }
  if (history.history != nullptr && line_number == 0) {
    // A file without a line is loaded all the same, and said to be.
    if (start_history(history) != LineOutcome::done ||
        commit_line(history, 0, true) != LineOutcome::done) {
      session_.rollback();
      return session_.connected() ? LoadResult::refused : LoadResult::connection_lost;
    }
  }
  return LoadResult::loaded;
}

LineOutcome CorvaneFiles::start_history(const driver::HistoryEntry& history) {
  db::Status opened = history.history->open_entry(*history.file);
  if (opened.ok()) return LineOutcome::done;
  loader_.report_sql_error(opened);
  loader_.refuse("The load history of " + history.file->name +
                 " could not be written: " + opened.message);
  return LineOutcome::systemic_failure;
}

LineOutcome CorvaneFiles::commit_line(const driver::HistoryEntry& history, std::size_t line_number,
                                      bool last_line) {
  driver::LoadProgress& account = loader_.account();
  account.lines_done = static_cast<std::int64_t>(line_number);
  account.state =
      last_line ? driver::LoadProgress::State::loaded : driver::LoadProgress::State::loading;
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
  refused_own_data_ = committed.row_failure() && session_.connected();
  // Without a history the documented behaviour stands: the line is lost and
  // the file goes on.
  if (history.history == nullptr && session_.connected()) return LineOutcome::done;
  loader_.refuse("The commit of line " + std::to_string(line_number) +
                 " failed: " + committed.message);
  return LineOutcome::systemic_failure;
}

void CorvaneFiles::note_report(driver::FileReport& report, LoadResult result) {
  const driver::LoadProgress& account = loader_.account();
  report.committed = result == LoadResult::loaded;
  report.key = static_cast<std::int64_t>(loader_.booking_key());
  report.lines_read = account.lines_done;
  report.rows_stored = account.rows_stored;
  report.rows_rejected = account.rows_rejected;
  report.tally = loader_.tally();
  switch (result) {
    case LoadResult::loaded:
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

bool CorvaneFiles::no_line_known(driver::FileJob& job, const std::vector<std::string_view>& lines) {
  // An empty file is loaded as ever: it is no other format's file.
  if (lines.empty() || std::any_of(lines.begin(), lines.end(), [&](std::string_view line) {
        return loader_.knows_line(line);
      })) {
    return false;
  }
  const bool set_aside = job.has_failed_directory();
  console_.print("File " + job.name() + " holds no record this loader knows; " +
                 (set_aside ? "it is not loaded\n" : "it is loaded with no rows\n"));
  return set_aside;
}

void CorvaneFiles::on_scan_without_files() {
  console_.print(kFileReadComplete);
}

}  // namespace qx::corvane
