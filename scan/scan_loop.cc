#include "scan/scan_loop.h"

#include <algorithm>
#include <exception>
#include <utility>

#include "os/directory_scan.h"
#include "os/shown_name.h"
#include "os/stop_signal.h"
#include "scan/scanning_line.h"

namespace qx::scan {

ScanLoop::ScanLoop(os::Env& env, FileHandler& handler, ScanSettings settings, os::Console console,
                   history::LoadHistory* history, FailedSettings failed)
    : env_(env),
      handler_(handler),
      settings_(std::move(settings)),
      console_(console),
      outlets_{env, console},
      database_(outlets_, handler, settings_.connect_tried_at_start),
      moves_(outlets_, database_, settings_.input_dir_as_typed, settings_.backup_dir_as_typed,
             std::move(failed)),
      claims_(outlets_, handler, database_, moves_, history),
      reporting_(outlets_, handler),
      input_failure_(outlets_, FailureKind::input_directory),
      settle_check_(settings_.settle) {
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
  reporting_.scan(outcome);
  return outcome;
}

// Connects, prints the scanning line and lists the input directory.
// False when the scan ends there: no connection, or no listing.
bool ScanLoop::list_files(ScanOutcome& outcome, std::vector<os::DirectoryEntry>& files,
                          std::vector<os::DirectoryEntry>& others, bool& idle) {
  outcome.connected = database_.ensure_connected() && database_.storage_intact();
  // The line tells the time the scan began, also when it is printed only
  // once the scan has found a file.
  const std::string scanning_line =
      format_scanning_line(settings_.input_dir_as_typed, local_time(env_.now()), settings_.pattern);
  if (!settings_.quiet_idle) console_.print(scanning_line);

  moves_.put_back_held_files();
  const std::filesystem::path& input_dir = moves_.input_dir();
  std::vector<std::string> held;
  os::IoResult listed = list_input_files(env_, input_dir, extension_, files, &others, &held);
  // Files an earlier run held aside (it ended in the middle of a move) go
  // back under their names, and this scan takes them.
  if (listed.ok() && !held.empty() && outcome.connected) {
    moves_.put_back_held_files(held);
    listed = list_input_files(env_, input_dir, extension_, files, &others, &held);
  }
  idle = listed.ok() && files.empty();
  if (idle && outcome.connected) outcome.connected = database_.still_connected();
  if (settings_.quiet_idle && !idle) console_.print(scanning_line);
  note_input_directory(listed);
  outcome.input_readable = listed.ok();
  outcome.files_found = static_cast<int>(files.size());
  reporting_.scan_begins(files);
  return listed.ok() && outcome.connected;
}

// One scan, as the loop of the design: list the files in order, and take
// each settled one up (claimed, handed over, moved, reported), alone or in
// a batch, until a stop, a lost connection or a refusal leaves the rest for
// a later scan.
ScanOutcome ScanLoop::scan_files() {
  ScanOutcome outcome;
  std::vector<os::DirectoryEntry> files, others;
  bool idle = false;
  if (!list_files(outcome, files, others, idle)) return outcome;
  // What is kept of each file never outgrows the directory.
  settle_check_.forget_all_but(files);
  claims_.forget_all_but(files);
  moves_.forget_all_but(files, others);
  faulted_.forget_all_but(files);
  moves_.remove_stale_temporaries();

  int handled = 0;
  auto now = env_.now();
  const bool batching = handler_.takes_batches() && settings_.batch.files > 1;
  Batch batch;
  std::string told;
  for (std::size_t at = 0; at < files.size(); ++at) {
    const os::DirectoryEntry& file = files[at];
    if (os::stop_requested()) break;
    const os::Settling settling = settle_check_.check(file, now);
    if (settling.newly_held) tell_held_back(file, settling.held, now);
    if (!settling.settled) continue;
    if (faulted_.held_back(file, now)) continue;
    if (bool moved = false; moves_.too_large(file, moved, told)) {
      if (moved) {
        ++outcome.files_done;
        ++outcome.files_failed;
        reporting_.done(file.name);
      }
      if (!told.empty()) reporting_.too_large(file.name, moved, told);
      continue;
    }
    auto job = std::make_unique<FileJob>(moves_, database_, file, env_.steady_now());
    // A batch's files are claimed together, in one round trip.
    JobStep prepared = batching ? claims_.take(*job) : claims_.prepare(*job);
    if (prepared == JobStep::skipped) continue;
    if (prepared == JobStep::stop_scan) return outcome;
    if (batching && job->read_result().ok() &&
        (prepared == JobStep::to_claim || prepared == JobStep::to_handle)) {
      batch.add(std::move(job));
      // Full batches go one after another, each next one read while the
      // server takes the one before.
      while (batch.full(settings_.batch, env_.steady_now())) {
        WorkAhead ahead{files, at + 1, now, {}};
        if (!run_batch(batch, outcome, handled, [&] { return step_ahead(ahead); })) {
          return outcome;
        }
        batch = std::move(ahead.batch);
        at = ahead.next - 1;
        if (batch.jobs.empty()) break;
      }
      continue;
    }
    ++handled;
    // What is not loaded in a batch comes after the batch before it, so
    // that files are moved in scan order.
    if (!run_batch(batch, outcome, handled)) return outcome;
    if (prepared == JobStep::loaded_earlier) prepared = move_loaded_earlier(*job);
    if (prepared == JobStep::to_handle) {
      database_.quiet_while_refused([&] { handle_guarded(*job); },
                                    [&] { return job->report().database_refused; });
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

bool ScanLoop::step_ahead(WorkAhead& ahead) {
  // Each file read is worked on before the next is read, so that the
  // server's answer, when it comes, finds the most of the batch done.
  if (ahead.preparing && ahead.offered < ahead.batch.jobs.size()) {
    FileJob& job = *ahead.batch.jobs[ahead.offered++];
    try {
      ahead.preparing = handler_.prepare_ahead(job);
    } catch (...) {
      // What was worked out ahead is done again in the files' turn.
      for (const auto& each : ahead.batch.jobs) each->set_prepared(nullptr);
      ahead.preparing = false;
    }
    return true;
  }
  if (ahead.reading) ahead.reading = read_one_ahead(ahead);
  return ahead.reading || (ahead.preparing && ahead.offered < ahead.batch.jobs.size());
}

bool ScanLoop::read_one_ahead(WorkAhead& ahead) {
  // Each file passes the loop's own checks at the scan's time, or it and
  // the files after it wait for the loop's turn, which tells what there is
  // to tell in order.
  if (ahead.next >= ahead.files.size() || os::stop_requested()) return false;
  const os::DirectoryEntry& file = ahead.files[ahead.next];
  if (!settle_check_.has_settled(file, ahead.now) || faulted_.held_back(file, ahead.now) ||
      !moves_.within_size(file)) {
    return false;
  }
  auto job = std::make_unique<FileJob>(moves_, database_, file, env_.steady_now());
  if (!claims_.take_quietly(*job)) return false;
  (void)settle_check_.check(file, ahead.now);  // settled: only remembered
  ahead.batch.add(std::move(job));
  ++ahead.next;
  return !ahead.batch.full(settings_.batch, env_.steady_now());
}

bool ScanLoop::run_batch(Batch& batch, ScanOutcome& outcome, int& handled,
                         const std::function<bool()>& work_while_waiting) {
  if (batch.jobs.empty()) return true;
  // Files the history holds as loaded are only moved, after the batch.
  std::vector<std::unique_ptr<FileJob>> earlier;
  if (!claims_.claim_batch(batch, earlier)) {
    batch = {};
    return false;
  }
  handled += static_cast<int>(batch.jobs.size() + earlier.size());
  std::vector<const FileJob*> claimed;
  for (const auto& job : batch.jobs) claimed.push_back(job.get());
  for (const auto& job : earlier) claimed.push_back(job.get());
  bool goes_on = true;
  if (!batch.jobs.empty()) {
    std::vector<FileJob*> jobs;
    for (const auto& job : batch.jobs) jobs.push_back(job.get());
    std::size_t done = 0;
    // The work refers to this scan's files: it is taken back whatever ends
    // the handling.
    struct WorkWhileWaiting {
      db::Session& session;
      ~WorkWhileWaiting() { session.set_work_while_waiting({}); }
    } work{handler_.session()};
    work.session.set_work_while_waiting(work_while_waiting);
    database_.quiet_while_refused(
        [&] { done = std::min(handle_batch_guarded(jobs), jobs.size()); },
        [&] { return done > 0 && jobs[done - 1]->report().database_refused; });
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
  claims_.release_all(claimed);
  batch = {};
  return goes_on;
}

void ScanLoop::finish_job(FileJob& job, JobStep prepared, ScanOutcome& outcome, bool release) {
  if (job.moved()) {
    ++outcome.files_done;
    if (job.set_aside()) ++outcome.files_failed;
    reporting_.done(job.name());
  }
  reporting_.file(job, prepared);
  if (release) claims_.release(job);
}

bool ScanLoop::scan_goes_on(const FileJob& job, ScanOutcome& outcome) {
  // A connection lost in the middle of a file leaves the rest for the
  // scan that has a connection again.
  if (!handler_.session().connected()) {
    outcome.connected = false;
    return false;
  }
  // A database that loses what it stores loses it for every file.
  if (database_.storage_failing()) {
    outcome.connected = false;
    return false;
  }
  // Every other file would meet the same refusal: they wait for the scan
  // after the database takes work again.
  return !database_.note_outcome(job.report());
}

void ScanLoop::note_input_directory(const os::IoResult& listed) {
  const std::string& dir = settings_.input_dir_as_typed;
  if (listed.ok()) {
    input_failure_.clear(dir, "The input directory " + dir + " can be read again");
    return;
  }
  input_failure_.raise(
      {.detail = dir + ": " + listed.reason(),
       .headline = "Cannot read the input directory " + dir + ": " + listed.reason(),
       .advice = "no file is loaded until it can be read: check that it exists "
                 "and that this loader's user may read it"});
}

JobStep ScanLoop::move_loaded_earlier(FileJob& job) {
  // The lookup opened a transaction that has nothing to keep.
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  if (job.move_to_backup()) {
    console_.print("File " + os::shown_name(job.name()) +
                       " was loaded earlier and is now moved to " + job.destination_display() +
                       "\n",
                   os::Priority::notice);
  }
  return JobStep::done;
}

void ScanLoop::handle_guarded(FileJob& job) {
  std::string what;
  try {
    handler_.handle_file(job);
    faulted_.handled(job.entry());
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
    if (!jobs[i]->moved() && !jobs[i]->report().committed) handle_guarded(*jobs[i]);
    if (!handler_.session().connected() || jobs[i]->report().database_refused) return i + 1;
  }
  return jobs.size();
}

void ScanLoop::set_aside_faulted(FileJob& job, const std::string& what) {
  // The handler's transaction is left open by the exception that ended it.
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  const std::string why = "its handling failed unexpectedly: " + what;
  job.report().why = why;
  // A file committed before the failure is in the load history as loaded:
  // the next scan only moves it.
  if (job.moved() || job.report().committed) {
    console_.print("File " + os::shown_name(job.name()) + ": " + why + "\n", os::Priority::err);
    return;
  }
  const auto now = env_.now();
  if (moves_.has_failed_directory()) {
    // The move tells its own line, whether it went or not.
    if (!job.move_to_failed(FileReport::SetAside::unexpected, why))
      faulted_.failed(job.entry(), now);
    return;
  }
  const std::chrono::seconds lasted = faulted_.failed(job.entry(), now);
  std::string line = "File " + os::shown_name(job.name()) + " cannot be loaded (" + why + ")";
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

}  // namespace qx::scan
