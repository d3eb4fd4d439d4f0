#include "scan/file_claims.h"

#include <algorithm>

#include "os/move_file.h"
#include "os/shown_name.h"

namespace qx::scan {

bool Batch::full(const BatchLimits& limits, std::chrono::steady_clock::time_point now) const {
  return static_cast<int>(jobs.size()) >= limits.files || bytes >= limits.bytes ||
         now - jobs.front()->began() >= limits.time;
}

FileClaims::FileClaims(AlarmOutlets& outlets, FileHandler& handler, DatabaseWatch& database,
                       FileMoves& moves, history::LoadHistory* history)
    : outlets_(outlets), handler_(handler), database_(database), moves_(moves), history_(history) {}

JobStep FileClaims::prepare(FileJob& job) {
  const JobStep taken = take(job);
  if (taken != JobStep::to_claim) return taken;
  history::Claim claim = history::Claim::busy;
  history::LoadProgress progress;
  db::Status status =
      history_->claim(job.identity(), claim, progress, handler_.file_key_sequence());
  if (status.failed()) {
    report_unreadable_history(job, status);
    return JobStep::stop_scan;
  }
  return after_claim(job, claim, progress);
}

JobStep FileClaims::take(FileJob& job) {
  const std::filesystem::path path = moves_.input_dir() / job.name();
  os::IoResult locked = job.lock(outlets_.env, path);
  // Another process holds the file (another instance loads it), it is
  // gone, or the name holds no regular file any more (the next listing
  // tells that): nothing to say. Any other lock failure lets the read tell.
  if (locked.error() == std::errc::operation_would_block ||
      locked.error() == std::errc::no_such_file_or_directory || not_a_regular_file(locked)) {
    return JobStep::skipped;
  }
  const os::IoResult& read = job.read_whole(outlets_.env, path);
  // The name was given to another file between the claim and the read: the
  // bytes are not those of the claimed file, and the next scan takes the
  // new one.
  if (job.read_other_than_locked()) return JobStep::skipped;
  if (not_a_regular_file(read)) return JobStep::skipped;
  note_read(job);
  if (!read.ok()) {
    const std::string what = "it cannot be read: " + read.reason();
    if (moves_.count_attempt(job.entry(), what)) {
      job.note_set_aside(FileReport::SetAside::unreadable, what);
      return JobStep::done;
    }
  }
  if (!read.ok() || history_ == nullptr) return JobStep::to_handle;
  job.identify(history::identify_file(job.name(), job.bytes_read(), job.node_read().modified));
  return JobStep::to_claim;
}

bool FileClaims::take_quietly(FileJob& job) {
  if (unreadable_.contains(job.name())) return false;
  const std::filesystem::path path = moves_.input_dir() / job.name();
  if (!job.lock(outlets_.env, path).ok()) return false;
  if (!job.read_whole(outlets_.env, path).ok() || job.read_other_than_locked()) return false;
  if (history_ != nullptr) {
    job.identify(history::identify_file(job.name(), job.bytes_read(), job.node_read().modified));
  }
  return true;
}

bool FileClaims::claim_batch(Batch& batch, std::vector<std::unique_ptr<FileJob>>& earlier) {
  if (history_ == nullptr) return true;
  std::vector<const history::FileIdentity*> identities;
  for (const auto& job : batch.jobs) identities.push_back(&job->identity());
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
    switch (after_claim(*batch.jobs[i], claims[i], progress[i])) {
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

void FileClaims::release(const FileJob& job) {
  if (job.history() != nullptr) job.history()->release(job.identity());
}

void FileClaims::release_all(const std::vector<const FileJob*>& jobs) {
  if (history_ == nullptr) return;
  std::vector<const history::FileIdentity*> claims;
  for (const FileJob* job : jobs) claims.push_back(&job->identity());
  history_->release_all(claims);
}

void FileClaims::forget_all_but(const std::vector<os::DirectoryEntry>& files) {
  std::erase_if(unreadable_, [&](const auto& entry) {
    return std::none_of(files.begin(), files.end(),
                        [&](const os::DirectoryEntry& file) { return file.name == entry.first; });
  });
}

JobStep FileClaims::after_claim(FileJob& job, history::Claim claim,
                                const history::LoadProgress& progress) {
  if (claim == history::Claim::busy) return JobStep::skipped;
  job.claimed(*history_, progress);
  if (job.progress().state == history::LoadProgress::State::loaded) {
    return JobStep::loaded_earlier;
  }
  return JobStep::to_handle;
}

void FileClaims::report_unreadable_history(const FileJob& job, const db::Status& status) {
  // The claim's transaction holds nothing to keep.
  (void)handler_.session().rollback();  // fails only with nothing left to undo
  history_->release_every_claim();
  // A lasting refusal is recalled at its interval, its printer line with it.
  const bool connected = handler_.session().connected();
  if (!connected || !database_.refusal_quiet()) handler_.report_sql_error(status);
  // A connection lost on the way is an outage, told by the next scan's
  // connect, not a refusal.
  if (!connected) {
    outlets_.console.print("The database connection was lost while the load history of " +
                               os::shown_name(job.name()) +
                               " was read; the file and the rest of the scan wait "
                               "for a later scan\n",
                           os::Priority::err);
    return;
  }
  if (database_.tell_refusal("its load history could not be read: " + status.message)) {
    outlets_.console.print("The load history of " + os::shown_name(job.name()) +
                               " could not be read; the file and the rest of the scan wait for "
                               "a later scan\n",
                           os::Priority::err);
  }
}

void FileClaims::note_read(FileJob& job) {
  if (!job.read_result().ok()) {
    // The handler prints the failure when the alarm says it is due.
    auto& alarm = unreadable_.try_emplace(job.name(), outlets_).first->second;
    job.set_tell_read_failure(alarm.raise_told({}));
    return;
  }
  auto failing = unreadable_.find(job.name());
  if (failing == unreadable_.end()) return;
  failing->second.clear({}, "File " + os::shown_name(job.name()) + " can be read again");
  unreadable_.erase(failing);
}

}  // namespace qx::scan
