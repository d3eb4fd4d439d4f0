#include "record_loader/record_file_handler.h"

#include <exception>
#include <utility>

#include "os/shown_name.h"

namespace qx::record_loader {

RecordFileHandler::RecordFileHandler(db::Session& session,
                                     std::unique_ptr<FixedRecordLoader> loader,
                                     RecordFileSteps steps, bool verbose_flag, os::Console console)
    : session_(session),
      loader_(std::move(loader)),
      steps_(steps),
      verbose_flag_(verbose_flag),
      console_(console) {}

void RecordFileHandler::handle_file(scan::FileJob& job) {
  const std::string announce = "Currently Processing " + os::shown_name(job.name()) + "\n";
  if (steps_.announce_before_read) console_.print(announce);
  if (!read(job)) {
    print_not_found(job.name());
    return;
  }
  if (!steps_.announce_before_read) console_.print(announce);
  std::size_t records = 0;
  const std::optional<std::string> unparsed = file_records(job.name(), records);
  console_.end_of_file();
  if (unloadable(job, unparsed)) return;
  const LoadOutcome outcome = loader_->load_file(job.history_entry());
  note_report(job.report(), outcome, records, loader_->load().account());
  if (end_file(job, outcome) == FileEnd::not_moved) print_not_found(job.name());
}

std::string_view RecordFileHandler::file_key_sequence() const {
  return loader_->format().plan.sequence;
}

void RecordFileHandler::on_scan_without_files() {
  if (steps_.complete_line_without_files) console_.print(kFileReadComplete);
}

bool RecordFileHandler::read(scan::FileJob& job) {
  os::IoResult read = job.read(text_.bytes());
  if (read.ok()) return true;
  job.report().why = "cannot be read: " + read.reason();
  if (job.tell_read_failure()) {
    console_.print("Cannot open " + os::shown_name(job.name()) + ": " + read.reason() +
                       "; it stays for the next scan\n",
                   os::Priority::warning);
  }
  console_.print(kFileReadComplete);
  return false;
}

std::optional<std::string> RecordFileHandler::file_records(const std::string& name,
                                                           std::size_t& records) {
  records = 0;
  try {
    cut_and_file(name, records);
  } catch (const std::exception& error) {
    // Nothing of a file taken apart only in part is stored.
    loader_->begin_file(name);
    return "cannot be taken apart into records (" + std::string(error.what()) + ")";
  }
  return std::nullopt;
}

bool RecordFileHandler::unloadable(scan::FileJob& job, const std::optional<std::string>& unparsed) {
  if (unparsed) return set_aside(job, scan::FileReport::SetAside::unparsable, *unparsed);
  // An empty file is loaded as ever: it is no other format's file.
  return loader_->known_records() == 0 && !text_.records().empty() &&
         set_aside(job, scan::FileReport::SetAside::no_known_record,
                   "holds no record this loader knows");
}

void RecordFileHandler::cut_and_file(const std::string& name, std::size_t& records) {
  for (std::size_t line : text_.cut(loader_->format().take_header)) {
    console_.about_line(name, line, os::Notice::nul_byte, "NUL byte read as a blank");
  }
  if (const std::size_t length = text_.short_header(); length > 0) {
    console_.about_line(name, 1, os::Notice::header_short,
                        "header record of " + std::to_string(length) +
                            " characters, ended early; its later columns stay empty");
  }
  loader_->begin_file(name);
  for (std::string_view record : text_.records()) loader_->parse_line(record, ++records);
}

void RecordFileHandler::note_report(scan::FileReport& report, LoadOutcome outcome,
                                    std::size_t records, const FileAccount& account) const {
  report.committed = outcome == LoadOutcome::committed;
  report.database_refused = outcome == LoadOutcome::key_not_drawn ||
                            outcome == LoadOutcome::systemic_failure ||
                            outcome == LoadOutcome::commit_failed;
  report.why = why_not_loaded(outcome);
  // A refused commit says why in the server's words (a revoked grant, a
  // full disk), so that the refusal names what to mend.
  if (outcome == LoadOutcome::commit_failed || outcome == LoadOutcome::commit_refused) {
    const std::string& reason = loader_->load().commit_failure().message;
    if (!reason.empty()) report.why += " (" + reason + ")";
  }
  report.key = report.committed ? account.key : 0;
  report.lines_read = static_cast<std::int64_t>(records);
  report.rows_stored = report.committed ? account.progress.rows_stored : 0;
  report.rows_rejected = report.committed ? account.progress.rows_rejected : 0;
  // Nothing of a file that was not committed is stored, nor refused.
  if (report.committed) report.tally = account.tally;
}

RecordFileHandler::FileEnd RecordFileHandler::end_file(scan::FileJob& job, LoadOutcome outcome) {
  if (outcome == LoadOutcome::commit_unconfirmed) {
    // The server's own reason (a session it ended, a timeout) says what to
    // change; the loss alone does not.
    const std::string& reason = loader_->load().commit_failure().message;
    console_.print("\nFile " + os::shown_name(job.name()) + ": " + why_not_loaded(outcome) +
                       (reason.empty() ? "" : " (" + reason + ")") +
                       "; it stays, and its load history says at the next scan whether it is only "
                       "moved or loaded again\n",
                   os::Priority::warning);
    console_.print(kFileReadComplete);
    return FileEnd::not_loaded;
  }
  if (outcome != LoadOutcome::committed) {
    // Only a refusal of the file's own data counts against the file.
    const bool set_aside =
        outcome == LoadOutcome::commit_refused &&
        job.count_failed_load(scan::FileReport::SetAside::refused, why_not_loaded(outcome));
    console_.print("\nFile " + os::shown_name(job.name()) +
                       " was not loaded: " + why_not_loaded(outcome) +
                       (set_aside ? "; nothing of it was stored\n"
                                  : "; nothing of it was stored and it stays for a later scan\n"),
                   os::Priority::warning);
    console_.print(kFileReadComplete);
    return FileEnd::not_loaded;
  }
  if (verbose_flag_) {
    console_.print("\nFile Moved As: " + job.source_display() + "---" + job.destination_display() +
                   "\n");
  }
  console_.print(kFileReadComplete);
  if (job.move_to_backup()) return FileEnd::moved;
  return job.copied_to_backup() ? FileEnd::not_removed : FileEnd::not_moved;
}

bool RecordFileHandler::set_aside(scan::FileJob& job, scan::FileReport::SetAside reason,
                                  const std::string& what) {
  const bool to_failed = job.has_failed_directory();
  console_.print("File " + os::shown_name(job.name()) + " " + what + "; " +
                     (to_failed ? "it is not loaded\n" : "it is loaded with no rows\n"),
                 os::Priority::warning);
  if (!to_failed) return false;
  // Nothing was filed, so nothing is left for the next file.
  if (!job.move_to_failed(reason, "it " + what)) print_not_found(job.name());
  console_.print(kFileReadComplete);
  return true;
}

void RecordFileHandler::print_not_found(const std::string& name) {
  if (steps_.not_found.empty()) return;
  std::string line(steps_.not_found);
  console_.print(line + os::shown_name(name) + "\n", os::Priority::warning);
}

}  // namespace qx::record_loader
