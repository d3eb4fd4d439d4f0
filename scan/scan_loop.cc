#include "scan/scan_loop.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "os/directory_scan.h"
#include "os/loaded_move.h"
#include "os/move_file.h"
#include "os/shown_name.h"
#include "os/stop_signal.h"
#include "scan/scanning_line.h"

namespace qx::scan {
namespace fs = std::filesystem;

std::string database_failure_line(const db::Session& session, const db::Status& status,
                                  std::chrono::seconds lasted) {
  std::string detail = session.connect_failure_detail();
  if (detail.empty()) detail = status.message;
  std::string line = "Cannot connect to the database " + session.description() + ": " + detail;
  if (lasted.count() > 0) line += " (for " + describe_duration(lasted) + ")";
  return line +
         "; no file is loaded until it answers: check that the server runs and is reachable, "
         "and the login\n";
}

namespace {

// Printed paths join the directory as typed and the name with the
// platform's separator.
std::string display_path(const std::string& dir_as_typed, const std::string& name) {
  return (fs::path(dir_as_typed) / os::shown_name(name)).string();
}

}  // namespace

os::IoResult FileJob::read(std::string& contents) {
  contents = read_result_.ok() ? bytes_read_ : std::string();
  return read_result_;
}

bool FileJob::move_to_backup() {
  const os::IoResult moved =
      read_result_.ok() ? loop_.move_loaded(name_, node_read_, bytes_read_) : read_result_;
  moved_ = moved.ok();
  copied_ = moved_ || copied_before_failure(moved);
  if (moved_) loop_.note_moved(name_);
  return moved_;
}

void FileJob::tell_database_outcome() {
  loop_.note_database_refusal(*this);
}

bool FileJob::count_failed_load(FileReport::SetAside reason, const std::string& what) {
  if (loop_.failed_.count_attempt(loop_.input_dir_, entry_, what)) note_set_aside(reason, what);
  return moved_;
}

bool FileJob::move_to_failed(FileReport::SetAside reason, const std::string& what) {
  if (loop_.failed_.give_up(loop_.input_dir_, entry_, what)) note_set_aside(reason, what);
  return moved_;
}

void FileJob::note_set_aside(FileReport::SetAside reason, const std::string& what) {
  moved_ = true;
  set_aside_ = reason;
  set_aside_why_ = what;
}

bool FileJob::has_failed_directory() const {
  return loop_.failed_.enabled();
}

std::string FileJob::source_display() const {
  return display_path(loop_.settings_.input_dir_as_typed, name_);
}

std::string FileJob::destination_display() const {
  return display_path(loop_.settings_.backup_dir_as_typed, name_);
}

ScanLoop::ScanLoop(os::Env& env, FileHandler& handler, ScanSettings settings, os::Console console,
                   history::LoadHistory* history, FailedSettings failed)
    : env_(env),
      handler_(handler),
      settings_(std::move(settings)),
      console_(console),
      skip_next_connect_(settings_.connect_tried_at_start),
      history_(history),
      settle_check_(settings_.settle),
      failed_(env, std::move(failed), console) {
  input_dir_ = fs::absolute(settings_.input_dir_as_typed);
  backup_dir_ = fs::absolute(settings_.backup_dir_as_typed);
  auto star = settings_.pattern.find('*');
  extension_ = star == std::string::npos ? settings_.pattern : settings_.pattern.substr(star + 1);
}

ScanOutcome ScanLoop::run() {
  ScanOutcome outcome;
  while (!os::stop_requested()) {
    outcome = scan();
    if (settings_.once) break;
    pause_unless_stopped(env_, settings_.pause);
  }
  return outcome;
}

ScanOutcome ScanLoop::scan() {
  ScanOutcome outcome = scan_files();
  report_scan(outcome);
  return outcome;
}

ScanOutcome ScanLoop::scan_files() {
  ScanOutcome outcome;
  scanned_.clear();
  done_.clear();
  outcome.connected = ensure_connected() && storage_intact();
  // The line tells the time the scan began, also when it is printed only
  // once the scan has found a file.
  const std::string scanning_line =
      format_scanning_line(settings_.input_dir_as_typed, local_time(env_.now()), settings_.pattern);
  if (!settings_.quiet_idle) console_.print(scanning_line);

  put_back_held_files();
  std::vector<os::DirectoryEntry> files, others;
  std::vector<std::string> held;
  os::IoResult listed = list_input_files(env_, input_dir_, extension_, files, &others, &held);
  // Files an earlier run held aside (it ended in the middle of a move) go
  // back under their names, and this scan takes them.
  if (listed.ok() && !held.empty() && outcome.connected) {
    held_names_.insert(held.begin(), held.end());
    put_back_held_files();
    listed = list_input_files(env_, input_dir_, extension_, files, &others, &held);
  }
  const bool idle = listed.ok() && files.empty();
  if (idle && outcome.connected) outcome.connected = still_connected();
  if (settings_.quiet_idle && !idle) console_.print(scanning_line);
  note_input_directory(listed);
  outcome.input_readable = listed.ok();
  outcome.files_found = static_cast<int>(files.size());
  scanned_ = files;
  if (!listed.ok() || !outcome.connected) return outcome;
  settle_check_.forget_all_but(files);
  std::erase_if(unreadable_, [&](const auto& entry) {
    return std::none_of(files.begin(), files.end(),
                        [&](const os::DirectoryEntry& file) { return file.name == entry.first; });
  });
  failed_.forget_all_but(files, others);
  for (const os::DirectoryEntry& other : others) failed_.not_regular(input_dir_, other);
  faulted_.forget_all_but(files);
  // A file whose move failed and that was taken away by hand no longer
  // holds back the line that moving works again.
  std::erase_if(moves_failing_, [&](const std::string& name) {
    return std::none_of(files.begin(), files.end(),
                        [&](const os::DirectoryEntry& file) { return file.name == name; });
  });
  remove_stale_temporaries();

  int handled = 0;
  auto now = env_.now();
  const bool batching = handler_.takes_batches() && settings_.batch.files > 1;
  Batch batch;
  std::string told;
  for (const auto& file : files) {
    if (os::stop_requested()) break;
    const os::Settling settling = settle_check_.check(file, now);
    if (settling.newly_held) tell_held_back(file, settling.held, now);
    if (!settling.settled) continue;
    if (faulted_.held_back(file, now)) continue;
    if (bool moved = false; failed_.too_large(input_dir_, file, moved, told)) {
      if (moved) {
        ++outcome.files_done;
        ++outcome.files_failed;
        done_.insert(file.name);
      }
      if (!told.empty()) report_too_large(file.name, moved, told);
      continue;
    }
    auto job = std::unique_ptr<FileJob>(new FileJob(*this, file));
    job->began_ = std::chrono::steady_clock::now();
    // A batch's files are claimed together, in one round trip.
    JobStep prepared = batching ? take(*job) : prepare(*job);
    if (prepared == JobStep::skipped) continue;
    if (prepared == JobStep::stop_scan) return outcome;
    if (batching && job->read_result_.ok() &&
        (prepared == JobStep::to_claim || prepared == JobStep::to_handle)) {
      batch.bytes += job->bytes_read_.size();
      batch.jobs.push_back(std::move(job));
      if (batch.full(settings_.batch) && !run_batch(batch, outcome, handled)) return outcome;
      continue;
    }
    ++handled;
    // What is not loaded in a batch comes after the batch before it, so
    // that files are moved in scan order.
    if (!run_batch(batch, outcome, handled)) return outcome;
    if (prepared == JobStep::loaded_earlier) prepared = move_loaded_earlier(*job);
    if (prepared == JobStep::to_handle) {
      quiet_while_refused([&] { handle_guarded(*job); },
                          [&] { return job->report_.database_refused; });
    }
    finish_job(*job, prepared, outcome);
    if (!scan_goes_on(*job, outcome)) return outcome;
  }
  if (!run_batch(batch, outcome, handled)) return outcome;
  if (handled == 0 && !os::stop_requested() && !(settings_.quiet_idle && idle)) {
    handler_.on_scan_without_files();
  }
  return outcome;
}

bool ScanLoop::Batch::full(const BatchLimits& limits) const {
  return static_cast<int>(jobs.size()) >= limits.files || bytes >= limits.bytes ||
         std::chrono::steady_clock::now() - jobs.front()->began_ >= limits.time;
}

bool ScanLoop::claim_batch(Batch& batch, std::vector<std::unique_ptr<FileJob>>& earlier) {
  if (history_ == nullptr) return true;
  std::vector<const history::FileIdentity*> identities;
  for (const auto& job : batch.jobs) identities.push_back(&job->identity_);
  std::vector<history::Claim> claims;
  std::vector<history::LoadProgress> progress;
  db::Status status =
      history_->claim_all(identities, claims, progress, handler_.file_key_sequence());
  if (status.failed()) {
    report_unreadable_history(*batch.jobs.front(), status);
    batch.jobs.clear();
    return false;
  }
  std::vector<std::unique_ptr<FileJob>> claimed;
  for (std::size_t i = 0; i < batch.jobs.size(); ++i) {
    batch.jobs[i]->progress_ = progress[i];
    switch (after_claim(*batch.jobs[i], claims[i])) {
      case JobStep::loaded_earlier:
        earlier.push_back(std::move(batch.jobs[i]));
        break;
      case JobStep::to_handle:
        claimed.push_back(std::move(batch.jobs[i]));
        break;
      default:
        break;  // another instance has it
    }
  }
  batch.jobs = std::move(claimed);
  return true;
}

bool ScanLoop::run_batch(Batch& batch, ScanOutcome& outcome, int& handled) {
  if (batch.jobs.empty()) return true;
  // Files the history holds as loaded are only moved, after the batch.
  std::vector<std::unique_ptr<FileJob>> earlier;
  if (!claim_batch(batch, earlier)) {
    batch = {};
    return false;
  }
  handled += static_cast<int>(batch.jobs.size() + earlier.size());
  std::vector<const history::FileIdentity*> claims;
  for (const auto& job : batch.jobs) claims.push_back(&job->identity_);
  for (const auto& job : earlier) claims.push_back(&job->identity_);
  bool goes_on = true;
  if (!batch.jobs.empty()) {
    std::vector<FileJob*> jobs;
    for (const auto& job : batch.jobs) jobs.push_back(job.get());
    std::size_t done = 0;
    quiet_while_refused([&] { done = std::min(handle_batch_guarded(jobs), jobs.size()); },
                        [&] { return done > 0 && jobs[done - 1]->report_.database_refused; });
    for (std::size_t i = 0; i < done; ++i) {
      finish_job(*jobs[i], JobStep::to_handle, outcome, false);
    }
    goes_on = done == 0 || scan_goes_on(*jobs[done - 1], outcome);
  }
  // After a lost connection or a refusal they wait with the rest.
  for (auto& job : earlier) {
    if (goes_on) finish_job(*job, move_loaded_earlier(*job), outcome, false);
  }
  // Every claim of the batch in one statement; the files the handler left
  // are untouched and wait for a later scan.
  if (history_ != nullptr) history_->release_all(claims);
  batch = {};
  return goes_on;
}

void ScanLoop::finish_job(FileJob& job, JobStep prepared, ScanOutcome& outcome, bool release) {
  if (job.moved_) {
    ++outcome.files_done;
    if (job.set_aside_) ++outcome.files_failed;
    done_.insert(job.name_);
  }
  report_file(job, prepared, job.began_);
  if (release && job.history_ != nullptr) job.history_->release(job.identity_);
}

bool ScanLoop::scan_goes_on(const FileJob& job, ScanOutcome& outcome) {
  // A connection lost in the middle of a file leaves the rest for the
  // scan that has a connection again.
  if (!handler_.session().connected()) {
    outcome.connected = false;
    return false;
  }
  // A database that loses what it stores loses it for every file.
  if (storage_failure_.ongoing()) {
    outcome.connected = false;
    return false;
  }
  // Every other file would meet the same refusal: they wait for the scan
  // after the database takes work again.
  return !note_database_refusal(job);
}

bool ScanLoop::note_database_refusal(const FileJob& job) {
  if (job.report_.database_refused) {
    tell_refusal(job.report_.why);
    return true;
  }
  if (job.report_.committed) {
    if (auto lasted = refusal_failure_.ended(env_.now())) {
      console_.print("The database " + handler_.session().description() +
                         " takes the loader's work again, after " + describe_duration(*lasted) +
                         "\n",
                     os::Priority::notice);
      if (observer_ != nullptr) {
        observer_->failure_ended(FailureKind::database_refusal, handler_.session().description(),
                                 *lasted);
      }
    }
  }
  return false;
}

void ScanLoop::quiet_while_refused(const std::function<void()>& handle,
                                   const std::function<bool()>& refused_again) {
  if (!refusal_failure_.ongoing() || refusal_failure_.reminder_due(env_.now())) {
    handle();
    return;
  }
  std::string held;
  console_.hold(&held);
  handle();
  console_.hold(nullptr);
  if (!refused_again()) console_.replay(held);
}

bool ScanLoop::tell_refusal(const std::string& why) {
  const auto now = env_.now();
  const bool began = !refusal_failure_.ongoing();
  if (!refusal_failure_.due(now)) return false;
  if (began && observer_ != nullptr) {
    observer_->failure_started(FailureKind::database_refusal,
                               handler_.session().description() + ": " + why);
  }
  std::string line =
      "The database " + handler_.session().description() + " refuses the loader's work: " + why;
  if (refusal_failure_.lasted(now).count() > 0) {
    line += " (for " + describe_duration(refusal_failure_.lasted(now)) + ")";
  }
  console_.print(line +
                     "; the files wait, and each scan tries the first of them again: check the "
                     "tables, the privileges and the space of the database\n",
                 os::Priority::err);
  return true;
}

void ScanLoop::note_input_directory(const os::IoResult& listed) {
  const auto now = env_.now();
  if (listed.ok()) {
    if (auto lasted = input_failure_.ended(now)) {
      console_.print("The input directory " + settings_.input_dir_as_typed +
                         " can be read again, after " + describe_duration(*lasted) + "\n",
                     os::Priority::notice);
      if (observer_ != nullptr) {
        observer_->failure_ended(FailureKind::input_directory, settings_.input_dir_as_typed,
                                 *lasted);
      }
    }
    return;
  }
  const bool began = !input_failure_.ongoing();
  if (!input_failure_.due(now)) return;
  if (began && observer_ != nullptr) {
    observer_->failure_started(FailureKind::input_directory,
                               settings_.input_dir_as_typed + ": " + listed.reason());
  }
  std::string line =
      "Cannot read the input directory " + settings_.input_dir_as_typed + ": " + listed.reason();
  if (input_failure_.lasted(now).count() > 0) {
    line += " (for " + describe_duration(input_failure_.lasted(now)) + ")";
  }
  console_.print(line +
                     "; no file is loaded until it can be read: check that it exists and "
                     "that this loader's user may read it\n",
                 os::Priority::err);
}

bool ScanLoop::still_connected() {
  auto& session = handler_.session();
  std::int64_t answer = 0;
  if (session.query_integer("select 1", {}, answer).ok()) (void)session.rollback();  // read only
  // A connection found lost is connected again at once, or its failure told.
  return session.connected() || ensure_connected();
}

bool ScanLoop::ensure_connected() {
  auto& session = handler_.session();
  // A failed start-up connect was printed a moment ago; once is enough.
  const bool tried_just_now = std::exchange(skip_next_connect_, false);
  const auto now = env_.now();
  if (session.connected()) return true;
  const bool began = !database_failure_.ongoing();
  if (tried_just_now) {
    database_failure_.due(now);  // told by the program at start
    if (observer_ != nullptr) {
      const std::string detail = session.connect_failure_detail();
      observer_->failure_started(
          FailureKind::database,
          detail.empty() ? session.description() : session.description() + ": " + detail);
    }
    return false;
  }
  db::Status status = session.connect();
  if (status.ok()) {
    if (auto lasted = database_failure_.ended(now)) {
      console_.print("The database " + session.description() + " is reachable again, after " +
                         describe_duration(*lasted) + "\n",
                     os::Priority::notice);
      if (observer_ != nullptr) {
        observer_->failure_ended(FailureKind::database, session.description(), *lasted);
      }
    }
    return true;
  }
  if (began && observer_ != nullptr) {
    std::string detail = session.connect_failure_detail();
    observer_->failure_started(
        FailureKind::database,
        session.description() + ": " + (detail.empty() ? status.message : detail));
  }
  if (database_failure_.due(now)) {
    handler_.report_sql_error(status);
    console_.print(database_failure_line(session, status, database_failure_.lasted(now)),
                   os::Priority::err);
  }
  return false;
}

ScanLoop::JobStep ScanLoop::prepare(FileJob& job) {
  const JobStep taken = take(job);
  if (taken != JobStep::to_claim) return taken;
  history::Claim claim = history::Claim::busy;
  db::Status status =
      history_->claim(job.identity_, claim, job.progress_, handler_.file_key_sequence());
  if (status.failed()) {
    report_unreadable_history(job, status);
    return JobStep::stop_scan;
  }
  return after_claim(job, claim);
}

ScanLoop::JobStep ScanLoop::take(FileJob& job) {
  os::IoResult locked = env_.lock_file(input_dir_ / job.name_, job.lock_);
  // Another process holds the file (another instance loads it), it is
  // gone, or the name holds no regular file any more (the next listing
  // tells that): nothing to say. Any other lock failure lets the read tell.
  if (locked.error() == std::errc::operation_would_block ||
      locked.error() == std::errc::no_such_file_or_directory || not_a_regular_file(locked)) {
    return JobStep::skipped;
  }
  job.read_result_ = env_.read_file(input_dir_ / job.name_, job.bytes_read_, job.node_read_);
  // The name was given to another file between the claim and the read: the
  // bytes are not those of the claimed file, and the next scan takes the
  // new one.
  if (job.read_result_.ok() && job.lock_ && !job.lock_->node.same_inode(job.node_read_)) {
    return JobStep::skipped;
  }
  if (not_a_regular_file(job.read_result_)) return JobStep::skipped;
  note_read(job);
  if (!job.read_result_.ok()) {
    const std::string what = "it cannot be read: " + job.read_result_.reason();
    if (failed_.count_attempt(input_dir_, job.entry_, what)) {
      job.note_set_aside(FileReport::SetAside::unreadable, what);
      return JobStep::done;
    }
  }
  if (!job.read_result_.ok() || history_ == nullptr) return JobStep::to_handle;
  job.identity_ = history::identify_file(job.name_, job.bytes_read_, job.node_read_.modified);
  return JobStep::to_claim;
}

ScanLoop::JobStep ScanLoop::after_claim(FileJob& job, history::Claim claim) {
  if (claim == history::Claim::busy) return JobStep::skipped;
  job.history_ = history_;
  adopt_earlier_row(job.bytes_read_, job.identity_, job.progress_);
  if (job.progress_.state == history::LoadProgress::State::loaded) return JobStep::loaded_earlier;
  return JobStep::to_handle;
}

void ScanLoop::report_unreadable_history(const FileJob& job, const db::Status& status) {
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  history_->release_every_claim();
  // A lasting refusal is recalled at its interval, its printer line with it.
  const bool connected = handler_.session().connected();
  if (!connected || !refusal_failure_.ongoing() || refusal_failure_.reminder_due(env_.now())) {
    handler_.report_sql_error(status);
  }
  // A connection lost on the way is an outage, told by the next scan's
  // connect, not a refusal.
  if (!connected) {
    console_.print("The database connection was lost while the load history of " +
                       os::shown_name(job.name_) +
                       " was read; the file and the rest of the scan wait "
                       "for a later scan\n",
                   os::Priority::err);
    return;
  }
  if (tell_refusal("its load history could not be read: " + status.message)) {
    console_.print("The load history of " + os::shown_name(job.name_) +
                       " could not be read; the file and the rest of the scan wait for a later "
                       "scan\n",
                   os::Priority::err);
  }
}

ScanLoop::JobStep ScanLoop::move_loaded_earlier(FileJob& job) {
  // The lookup opened a transaction that has nothing to keep.
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  job.moved_ = move_loaded(job.name_, job.node_read_, job.bytes_read_).ok();
  if (job.moved_) {
    note_moved(job.name_);
    console_.print("File " + os::shown_name(job.name_) +
                       " was loaded earlier and is now moved to " +
                       display_path(settings_.backup_dir_as_typed, job.name_) + "\n",
                   os::Priority::notice);
  }
  return JobStep::done;
}

os::IoResult ScanLoop::move_loaded(const std::string& name, const os::FileNode& node_read,
                                   const std::string& bytes_read) {
  if (!storage_intact()) {
    return os::IoResult::failure(std::make_error_code(std::errc::io_error),
                                 "the database does not keep what it stores");
  }
  const os::LoadedMove move =
      move_loaded_file(env_, {input_dir_ / name, backup_dir_ / name, node_read, bytes_read});
  if (move.held_aside) held_names_.insert(name);
  if (move.misplaced) misplaced_[name] = node_read;
  if (!move.result.ok()) {
    report_failed_move(name, move.result);
    return move.result;
  }
  const std::string backup = display_path(settings_.backup_dir_as_typed, name);
  if (move.other_file_waits) {
    console_.print("File " + os::shown_name(name) +
                       " was replaced while it was loaded: the bytes loaded are in " + backup +
                       ", the new file waits for the next scan\n",
                   os::Priority::warning);
  } else if (move.stored_from_memory) {
    console_.print("File " + os::shown_name(name) +
                       " was removed while it was loaded: the bytes loaded are in " + backup + "\n",
                   os::Priority::warning);
  }
  return move.result;
}

bool ScanLoop::storage_intact() {
  const auto now = env_.now();
  auto& session = handler_.session();
  const std::string problem = session.connected() ? session.storage_problem() : std::string();
  if (problem.empty()) {
    if (auto lasted = storage_failure_.ended(now)) {
      console_.print("The database " + session.description() +
                         " keeps what it stores again, after " + describe_duration(*lasted) + "\n",
                     os::Priority::notice);
    }
    return true;
  }
  if (storage_failure_.due(now)) {
    console_.print(
        "The database " + session.description() + " does not keep what it stores: " + problem +
            "; the files wait for a later scan, and none is loaded or moved until it does: "
            "restart the loader with the database in place\n",
        os::Priority::err);
  }
  return false;
}

void ScanLoop::put_back_held_files() {
  std::erase_if(misplaced_, [&](const auto& entry) {
    bool held = false;
    const bool settled = return_misplaced(
        env_, {input_dir_ / entry.first, backup_dir_ / entry.first, entry.second, {}}, held);
    if (held) held_names_.insert(entry.first);
    return settled;
  });
  std::erase_if(held_names_,
                [&](const std::string& name) { return put_back_held(env_, input_dir_ / name); });
}

void ScanLoop::report_failed_move(const std::string& name, const os::IoResult& failure) {
  failed_moves_.insert(name);
  const bool newly_failing = moves_failing_.insert(name).second;
  if (observer_ != nullptr && !backup_failing_since_) {
    backup_failing_since_ = env_.now();
    observer_->failure_started(FailureKind::backup_move, settings_.backup_dir_as_typed + ": " +
                                                             name + ": " + failure.reason());
  }
  // Each file is named when its move starts to fail, and the failure is
  // recalled every reminder interval, not for every file at every scan.
  const auto now = env_.now();
  if (!backup_failure_.due(now) && !newly_failing) return;
  std::string line = "File " + os::shown_name(name) + " was loaded but could not be moved to " +
                     display_path(settings_.backup_dir_as_typed, name) + ": " + failure.reason();
  if (backup_failure_.lasted(now).count() > 0) {
    line += " (moves have failed for " + describe_duration(backup_failure_.lasted(now)) + ")";
  }
  console_.print(line + "; it will not be loaded again, only its move retried\n",
                 os::Priority::err);
}

void ScanLoop::handle_guarded(FileJob& job) {
  std::string what;
  try {
    handler_.handle_file(job);
    faulted_.handled(job.entry_);
    return;
  } catch (const std::exception& error) {
    what = error.what();
  } catch (...) {
    what = "an exception of unknown kind";
  }
  set_aside_faulted(job, what);
}

std::size_t ScanLoop::handle_batch_guarded(std::span<FileJob* const> jobs) {
  try {
    return handler_.handle_batch(jobs);
  } catch (...) {
    // Which file was at fault is not known.
    (void)handler_.session().rollback();  // fails only with nothing left to undo
  }
  // A file the batch committed is in the load history as loaded: the next
  // scan only moves it.
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (!jobs[i]->moved_ && !jobs[i]->report_.committed) handle_guarded(*jobs[i]);
    if (!handler_.session().connected() || jobs[i]->report_.database_refused) return i + 1;
  }
  return jobs.size();
}

void ScanLoop::set_aside_faulted(FileJob& job, const std::string& what) {
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  const std::string why = "its handling failed unexpectedly: " + what;
  job.report_.why = why;
  // A file committed before the failure is in the load history as loaded:
  // the next scan only moves it.
  if (job.moved_ || job.report_.committed) {
    console_.print("File " + os::shown_name(job.name_) + ": " + why + "\n", os::Priority::err);
    return;
  }
  const auto now = env_.now();
  if (failed_.enabled()) {
    // The move tells its own line, whether it went or not.
    if (!job.move_to_failed(FileReport::SetAside::unexpected, why))
      faulted_.failed(job.entry_, now);
    return;
  }
  const std::chrono::seconds lasted = faulted_.failed(job.entry_, now);
  std::string line = "File " + os::shown_name(job.name_) + " cannot be loaded (" + why + ")";
  if (lasted.count() > 0) line += " (for " + describe_duration(lasted) + ")";
  console_.print(line + "; it stays where it is and is tried again in " +
                     describe_duration(kReminderInterval) + "\n",
                 os::Priority::err);
}

void ScanLoop::tell_held_back(const os::DirectoryEntry& file, os::HeldBack held,
                              std::chrono::system_clock::time_point now) {
  std::string line = "File " + os::shown_name(file.name);
  if (held == os::HeldBack::dated_ahead) {
    line +=
        " is dated " +
        describe_duration(std::chrono::duration_cast<std::chrono::seconds>(file.modified - now)) +
        " ahead of this machine's clock";
  } else {
    line += " is still changing";
  }
  console_.print(line + "; it is loaded once it has stayed unchanged for " +
                     std::to_string(settings_.settle.count()) + " ms\n",
                 os::Priority::notice);
}

void ScanLoop::note_read(FileJob& job) {
  const auto now = env_.now();
  if (!job.read_result_.ok()) {
    job.tell_read_failure_ = unreadable_[job.name_].due(now);
    return;
  }
  auto failing = unreadable_.find(job.name_);
  if (failing == unreadable_.end()) return;
  if (auto lasted = failing->second.ended(now)) {
    console_.print("File " + os::shown_name(job.name_) + " can be read again, after " +
                       describe_duration(*lasted) + "\n",
                   os::Priority::notice);
  }
  unreadable_.erase(failing);
}

void ScanLoop::note_moved(const std::string& name) {
  moves_failing_.erase(name);
  if (!moves_failing_.empty()) return;
  if (auto lasted = backup_failure_.ended(env_.now())) {
    console_.print("Moving into the backup directory " + settings_.backup_dir_as_typed +
                       " works again, after " + describe_duration(*lasted) + "\n",
                   os::Priority::notice);
  }
}

void ScanLoop::remove_stale_temporaries() {
  for (auto it = failed_moves_.begin(); it != failed_moves_.end();) {
    os::IoResult removed = env_.remove_file(os::temporary_path(backup_dir_ / *it));
    bool gone = removed.ok() || removed.error() == std::errc::no_such_file_or_directory;
    it = gone ? failed_moves_.erase(it) : std::next(it);
  }
}

void ScanLoop::report_file(FileJob& job, JobStep prepared,
                           std::chrono::steady_clock::time_point began) {
  if (observer_ == nullptr) return;
  FileReport& report = job.report_;
  report.name = job.name_;
  report.moved = job.moved_;
  report.duration = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - began);
  if (job.set_aside_) {
    // Whatever the handler counted, nothing of a file set aside is kept.
    report.outcome = FileReport::Outcome::failed;
    report.set_aside = *job.set_aside_;
    report.why = job.set_aside_why_;
  } else if (prepared == JobStep::done) {
    // The account its load left in the history.
    report.key = job.progress_.key;
    report.lines_read = job.progress_.lines_done;
    report.rows_stored = job.progress_.rows_stored;
    report.rows_rejected = job.progress_.rows_rejected;
    report.outcome = job.moved_ ? FileReport::Outcome::moved_earlier : FileReport::Outcome::waiting;
    if (!job.moved_) report.why = "loaded earlier; its move to the backup directory failed";
  } else if (job.moved_ || report.committed) {
    report.outcome = FileReport::Outcome::loaded;
    if (!job.moved_) report.why = "its move to the backup directory failed";
  } else {
    report.outcome = FileReport::Outcome::waiting;
    if (report.why.empty()) report.why = "not loaded";
  }
  const auto now = env_.now();
  if (job.moved_ && backup_failing_since_ && moves_failing_.empty()) {
    observer_->failure_ended(FailureKind::backup_move, settings_.backup_dir_as_typed,
                             std::chrono::duration_cast<std::chrono::seconds>(
                                 now - *std::exchange(backup_failing_since_, std::nullopt)));
  }
  // A file that waits while the database answers waits for a reason of
  // its own: unreadable, or refused.
  // A refusal of the database is told as its own failure, not the file's.
  const bool own_failure = report.outcome == FileReport::Outcome::waiting &&
                           !report.database_refused && prepared == JobStep::to_handle &&
                           handler_.session().connected();
  auto failing = files_failing_.find(job.name_);
  if (own_failure && failing == files_failing_.end()) {
    files_failing_.emplace(job.name_, now);
    observer_->failure_started(FailureKind::file, job.name_ + ": " + report.why);
  } else if (report.outcome != FileReport::Outcome::waiting && failing != files_failing_.end()) {
    observer_->failure_ended(
        FailureKind::file, job.name_,
        std::chrono::duration_cast<std::chrono::seconds>(now - failing->second));
    files_failing_.erase(failing);
  }
  observer_->file_done(report);
}

void ScanLoop::report_too_large(const std::string& name, bool moved, const std::string& why) {
  if (observer_ == nullptr) return;
  FileReport report;
  report.name = name;
  report.outcome = moved ? FileReport::Outcome::failed : FileReport::Outcome::waiting;
  report.set_aside = FileReport::SetAside::too_large;
  report.why = why;
  report.moved = moved;
  observer_->file_done(report);
}

void ScanLoop::report_scan(const ScanOutcome& outcome) {
  if (observer_ == nullptr) return;
  ScanReport report;
  report.time = env_.now();
  report.connected = outcome.connected && handler_.session().connected();
  report.input_readable = outcome.input_readable;
  report.files_found = outcome.files_found;
  report.files_done = outcome.files_done;
  std::set<std::string> present;
  for (const os::DirectoryEntry& file : scanned_) {
    present.insert(file.name);
    if (done_.count(file.name) != 0) {
      waiting_since_.erase(file.name);
      continue;
    }
    // A file dated ahead, or still changing, has waited at least since the
    // loop first saw it.
    const auto seen = waiting_since_.try_emplace(file.name, report.time).first->second;
    const auto waiting = std::min(file.modified, seen);
    if (!report.oldest_waiting || waiting < *report.oldest_waiting) {
      report.oldest_waiting = waiting;
    }
  }
  if (outcome.input_readable) {
    std::erase_if(waiting_since_,
                  [&](const auto& entry) { return !present.contains(entry.first); });
  }
  // A failing file that is gone from a directory that could be read (taken
  // away by hand) fails no more.
  for (auto it = files_failing_.begin(); outcome.input_readable && it != files_failing_.end();) {
    if (present.count(it->first) != 0) {
      ++it;
      continue;
    }
    observer_->failure_ended(
        FailureKind::file, it->first,
        std::chrono::duration_cast<std::chrono::seconds>(report.time - it->second));
    it = files_failing_.erase(it);
  }
  observer_->scan_done(report);
}

}  // namespace qx::scan
