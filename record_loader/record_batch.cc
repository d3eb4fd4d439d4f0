// The file handler's batch: several files of a backlog in one transaction,
// written by the batch writer (batch_writer.h). Each file keeps what a
// transaction of its own gives it: its own key, rows, header update and
// history row, its console lines in their order, its move after the
// commit. The batch commits only when every write of every file went
// through; anything else (a row the database refuses, a refused commit, a
// history row another instance took) rolls it back unseen, and its files
// are loaded one by one, so that each ends exactly as it would alone.
#include <optional>
#include <string>
#include <vector>

#include "db/transaction.h"
#include "os/shown_name.h"
#include "record_loader/record_file_handler.h"

namespace qx::record_loader {

std::size_t RecordFileHandler::handle_batch(std::span<scan::FileJob* const> jobs) {
  if (jobs.size() > 1) {
    if (const std::size_t handled = load_together(jobs)) return handled;
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    handle_file(*jobs[i]);
    // As in a scan of single files: after a lost connection, or a database
    // that refuses the work, the rest waits for a later scan.
    if (!session_.connected() || jobs[i]->report().database_refused) return i + 1;
  }
  return jobs.size();
}

std::size_t RecordFileHandler::load_together(std::span<scan::FileJob* const> jobs) {
  // Sized once: the accounts are read again when the transaction is sent.
  std::vector<FileAccount> accounts(jobs.size());
  std::vector<std::string> lines(jobs.size());
  std::vector<std::size_t> records(jobs.size());
  // The batch's modes and held-back rows end with it, also when it ends in
  // an exception.
  struct BatchModes {
    const os::Console& console;
    BatchWriter& batch;
    bool& committing;
    ~BatchModes() {
      console.capture(nullptr);
      batch.drop_batch();
      committing = false;
    }
  } modes{console_, loader_->batch(), committing_batch_};
  std::optional<db::RowFailuresFail> row_failures_fail(std::in_place, session_);
  std::vector<std::int64_t> keys(jobs.size());
  bool written = draw_keys(jobs, keys);
  for (std::size_t i = 0; i < jobs.size() && written; ++i) {
    if (PreparedFile* prepared = prepared_file(*jobs[i])) {
      // Cut and converted while the server took the batch before.
      lines[i] = std::move(prepared->lines);
      records[i] = prepared->records;
      accounts[i] = prepared->account;
      loader_->batch().add_prepared(prepared->rows, jobs[i]->history_entry(), accounts[i]);
      jobs[i]->set_prepared(nullptr);
      continue;
    }
    console_.capture(&lines[i]);
    written = write_in_batch(*jobs[i], records[i], accounts[i], keys[i]);
    // A file given up part-way must not leave its notices counted.
    if (!written) console_.end_of_file();
  }
  console_.capture(nullptr);
  if (!written) loader_->batch().drop_batch();
  committing_batch_ = written;
  const LoadOutcome outcome =
      written ? loader_->batch().commit_batch() : LoadOutcome::commit_failed;
  committing_batch_ = false;
  row_failures_fail.reset();
  if (outcome != LoadOutcome::committed && outcome != LoadOutcome::commit_unconfirmed) {
    (void)session_.rollback();  // fails only with nothing left to undo
    return 0;
  }
  if (outcome == LoadOutcome::commit_unconfirmed) {
    // As when the first file's own commit is lost: its lines and the loss
    // are told once, and the others wait with the rest of the scan; the
    // load history says at the next scan what became of them all.
    console_.print(lines[0]);
    report_sql_error(loader_->load().commit_failure());
    note_report(jobs[0]->report(), outcome, records[0], accounts[0]);
    end_file(*jobs[0], outcome);
    return 1;
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    console_.replay(lines[i]);
    note_report(jobs[i]->report(), outcome, records[i], accounts[i]);
    if (end_file(*jobs[i], outcome) == FileEnd::not_moved) print_not_found(jobs[i]->name());
  }
  return jobs.size();
}

bool RecordFileHandler::draw_keys(std::span<scan::FileJob* const> jobs,
                                  std::vector<std::int64_t>& keys) {
  // A file converted ahead keeps the key it was converted under; the key
  // its claim drew is kept for a file of the next batch.
  std::vector<std::size_t> undrawn;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (const PreparedFile* prepared = prepared_file(*jobs[i])) {
      keys[i] = prepared->account.key;
      if (const std::int64_t claimed = jobs[i]->take_drawn_key()) spare_keys_.push_back(claimed);
      continue;
    }
    const history::LoadProgress* claimed = jobs[i]->history_entry().claimed;
    keys[i] = claimed != nullptr ? claimed->drawn_key : 0;
    if (keys[i] == 0) undrawn.push_back(i);
  }
  // On a server the next batch is converted while the server takes this
  // one, under keys drawn now: once, as a backlog begins, since each
  // batch's claim draws the keys of the one after it.
  const std::size_t spare_wanted =
      session_.works_while_waiting() && spare_keys_.size() < jobs.size()
          ? jobs.size() - spare_keys_.size()
          : 0;
  if (undrawn.empty() && spare_wanted == 0) return true;
  // The keys the claims did not draw, in one statement: each file's own
  // draw would cost about a tenth of a batch on SQLite.
  std::vector<std::int64_t> drawn(undrawn.size() + spare_wanted);
  if (session_.next_values(loader_->batch().key_sequence(), drawn).failed()) return false;
  for (std::size_t k = 0; k < undrawn.size(); ++k) keys[undrawn[k]] = drawn[k];
  spare_keys_.insert(spare_keys_.end(), drawn.begin() + static_cast<std::ptrdiff_t>(undrawn.size()),
                     drawn.end());
  return true;
}

bool RecordFileHandler::write_in_batch(scan::FileJob& job, std::size_t& records,
                                       FileAccount& account, std::int64_t key) {
  std::optional<std::string> unparsed;
  const Filed filed = file_for_batch(job, records, unparsed);
  if (filed == Filed::unread) return false;
  // A file of no known record, or one that cannot be taken apart, is told
  // as alone; one that goes to the failed directory is set aside one by
  // one.
  if (filed == Filed::unloadable && (job.has_failed_directory() || unloadable(job, unparsed))) {
    return false;
  }
  return loader_->write_file(job.history_entry(), account, key);
}

RecordFileHandler::Filed RecordFileHandler::file_for_batch(scan::FileJob& job, std::size_t& records,
                                                           std::optional<std::string>& unparsed) {
  const std::string announce = "Currently Processing " + os::shown_name(job.name()) + "\n";
  if (steps_.announce_before_read) console_.print(announce);
  if (!job.read(text_.bytes()).ok()) return Filed::unread;
  if (!steps_.announce_before_read) console_.print(announce);
  unparsed = file_records(job.name(), records);
  console_.end_of_file();
  const bool no_records_to_load =
      unparsed || (loader_->known_records() == 0 && !text_.records().empty());
  return no_records_to_load ? Filed::unloadable : Filed::loadable;
}

}  // namespace qx::record_loader
