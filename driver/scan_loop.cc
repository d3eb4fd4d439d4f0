#include "driver/scan_loop.h"

#include <utility>

#include "driver/directory_scan.h"
#include "driver/move_file.h"
#include "driver/scanning_line.h"
#include "driver/stop_signal.h"

namespace qx::driver {
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
  return (fs::path(dir_as_typed) / name).string();
}

}  // namespace

IoResult FileJob::read(std::string& contents) {
  contents = read_result_.ok() ? bytes_read_ : std::string();
  return read_result_;
}

bool FileJob::move_to_backup() {
  moved_ = read_result_.ok() && loop_.move_loaded(name_, node_read_, bytes_read_).ok();
  return moved_;
}

bool FileJob::count_failed_load(const std::string& what) {
  if (loop_.failed_.count_attempt(loop_.input_dir_, entry_, what)) moved_ = true;
  return moved_;
}

bool FileJob::move_to_failed(const std::string& what) {
  if (loop_.failed_.give_up(loop_.input_dir_, entry_, what)) moved_ = true;
  return moved_;
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

ScanLoop::ScanLoop(Env& env, FileHandler& handler, ScanSettings settings, Console console,
                   LoadHistory* history, FailedSettings failed)
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
  while (!stop_requested()) {
    outcome = scan();
    if (settings_.once) break;
    pause_unless_stopped(env_, settings_.pause);
  }
  return outcome;
}

ScanOutcome ScanLoop::scan() {
  ScanOutcome outcome;
  outcome.connected = ensure_connected();
  console_.print(format_scanning_line(settings_.input_dir_as_typed, local_time(env_.now()),
                                      settings_.pattern));

  std::vector<DirectoryEntry> files;
  IoResult listed = list_input_files(env_, input_dir_, extension_, files);
  note_input_directory(listed);
  outcome.input_readable = listed.ok();
  outcome.files_found = static_cast<int>(files.size());
  if (!listed.ok() || !outcome.connected) return outcome;
  settle_check_.forget_all_but(files);
  failed_.forget_all_but(files);
  remove_stale_temporaries();

  int handled = 0;
  auto now = env_.now();
  for (const auto& file : files) {
    if (stop_requested()) return outcome;
    if (!settle_check_.settled(file, now)) continue;
    if (bool moved = false; failed_.too_large(input_dir_, file, moved)) {
      if (moved) ++outcome.files_done;
      continue;
    }
    FileJob job(*this, file);
    Prepared prepared = prepare(job);
    if (prepared == Prepared::stop_scan) return outcome;
    if (prepared != Prepared::skipped) ++handled;
    if (prepared == Prepared::to_handle) handler_.handle_file(job);
    if (job.moved_) ++outcome.files_done;
    if (job.history_ != nullptr) job.history_->release(job.identity_);
    // A connection lost in the middle of a file leaves the rest for the
    // scan that has a connection again.
    if (!handler_.session().connected()) {
      outcome.connected = false;
      return outcome;
    }
  }
  if (handled == 0) handler_.on_scan_without_files();
  return outcome;
}

void ScanLoop::note_input_directory(const IoResult& listed) {
  const auto now = env_.now();
  if (listed.ok()) {
    if (auto lasted = input_failure_.ended(now)) {
      console_.print("The input directory " + settings_.input_dir_as_typed +
                     " can be read again, after " + describe_duration(*lasted) + "\n");
    }
    return;
  }
  if (!input_failure_.due(now)) return;
  std::string line =
      "Cannot read the input directory " + settings_.input_dir_as_typed + ": " + listed.reason();
  if (input_failure_.lasted(now).count() > 0) {
    line += " (for " + describe_duration(input_failure_.lasted(now)) + ")";
  }
  console_.print(line +
                 "; no file is loaded until it can be read: check that it exists and "
                 "that this loader's user may read it\n");
}

bool ScanLoop::ensure_connected() {
  auto& session = handler_.session();
  // A failed start-up connect was printed a moment ago; once is enough.
  const bool tried_just_now = std::exchange(skip_next_connect_, false);
  const auto now = env_.now();
  if (session.connected()) return true;
  if (tried_just_now) {
    database_failure_.due(now);  // told by the program at start
    return false;
  }
  db::Status status = session.connect();
  if (status.ok()) {
    if (auto lasted = database_failure_.ended(now)) {
      console_.print("The database " + session.description() + " is reachable again, after " +
                     describe_duration(*lasted) + "\n");
    }
    return true;
  }
  if (database_failure_.due(now)) {
    handler_.report_sql_error(status);
    console_.print(database_failure_line(session, status, database_failure_.lasted(now)));
  }
  return false;
}

ScanLoop::Prepared ScanLoop::prepare(FileJob& job) {
  IoResult locked = env_.lock_file(input_dir_ / job.name_, job.lock_);
  // Another process holds the file (another instance loads it), or it is
  // gone: nothing to say. Any other lock failure lets the read tell.
  if (locked.error() == std::errc::operation_would_block ||
      locked.error() == std::errc::no_such_file_or_directory) {
    return Prepared::skipped;
  }
  job.read_result_ = env_.read_file(input_dir_ / job.name_, job.bytes_read_, job.node_read_);
  if (!job.read_result_.ok() &&
      failed_.count_attempt(input_dir_, job.entry_,
                            "it cannot be read: " + job.read_result_.reason())) {
    job.moved_ = true;
    return Prepared::done;
  }
  if (!job.read_result_.ok() || history_ == nullptr) return Prepared::to_handle;

  job.identity_ = identify_file(job.name_, job.bytes_read_, job.node_read_.modified);
  Claim claim = Claim::busy;
  db::Status status = history_->claim(job.identity_, claim, job.progress_);
  if (status.failed()) {
    handler_.session().rollback();
    handler_.report_sql_error(status);
    console_.print("The load history of " + job.name_ +
                   " could not be read; the file and the rest of the scan wait for a later scan\n");
    return Prepared::stop_scan;
  }
  if (claim == Claim::busy) return Prepared::skipped;
  job.history_ = history_;
  if (job.progress_.state == LoadProgress::State::loaded) return move_loaded_earlier(job);
  return Prepared::to_handle;
}

ScanLoop::Prepared ScanLoop::move_loaded_earlier(FileJob& job) {
  // The lookup opened a transaction that has nothing to keep.
  handler_.session().rollback();
  if (move_loaded(job.name_, job.node_read_, job.bytes_read_).ok()) {
    console_.print("File " + job.name_ + " was loaded earlier and is now moved to " +
                   display_path(settings_.backup_dir_as_typed, job.name_) + "\n");
  }
  return Prepared::done;
}

IoResult ScanLoop::move_loaded(const std::string& name, const FileNode& node_read,
                               const std::string& bytes_read) {
  FileNode now_there;
  IoResult identified = env_.stat_file(input_dir_ / name, now_there);
  if (identified.ok() && now_there == node_read) {
    IoResult moved = move_file(env_, input_dir_ / name, backup_dir_ / name);
    if (!moved.ok()) report_failed_move(name, moved);
    return moved;
  }
  if (!identified.ok() && identified.error() != std::errc::no_such_file_or_directory) {
    // Which file the name holds is unknown: moving it could put an unloaded
    // file into the backup directory.
    IoResult failure = IoResult::failure(identified.error(), "the input file cannot be looked at");
    report_failed_move(name, failure);
    return failure;
  }
  return store_replaced(name, bytes_read);
}

IoResult ScanLoop::store_replaced(const std::string& name, const std::string& bytes) {
  IoResult stored = store_file(env_, bytes, backup_dir_ / name);
  if (!stored.ok()) {
    report_failed_move(name, stored);
  } else {
    console_.print("File " + name + " was replaced while it was loaded: the bytes loaded are in " +
                   display_path(settings_.backup_dir_as_typed, name) +
                   ", the new file waits for the next scan\n");
  }
  return stored;
}

void ScanLoop::report_failed_move(const std::string& name, const IoResult& failure) {
  failed_moves_.insert(name);
  console_.print("File " + name + " was loaded but could not be moved to " +
                 display_path(settings_.backup_dir_as_typed, name) + ": " + failure.reason() +
                 "; it will not be loaded again, only its move retried\n");
}

void ScanLoop::remove_stale_temporaries() {
  for (auto it = failed_moves_.begin(); it != failed_moves_.end();) {
    IoResult removed = env_.remove_file(temporary_path(backup_dir_ / *it));
    bool gone = removed.ok() || removed.error() == std::errc::no_such_file_or_directory;
    it = gone ? failed_moves_.erase(it) : std::next(it);
  }
}

}  // namespace qx::driver
