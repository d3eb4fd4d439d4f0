#include "driver/scan_loop.h"

#include <utility>

#include "driver/directory_scan.h"
#include "driver/move_file.h"
#include "driver/scanning_line.h"
#include "driver/stop_signal.h"

namespace qx::driver {
namespace fs = std::filesystem;

namespace {

// Printed paths join the directory as typed and the name with the
// platform's separator.
std::string display_path(const std::string& dir_as_typed, const std::string& name) {
  return (fs::path(dir_as_typed) / name).string();
}

}  // namespace

IoResult FileJob::read(std::string& contents) {
  contents = read_result_.ok() ? bytes_ : std::string();
  return read_result_;
}

bool FileJob::move_to_backup() {
  return loop_.try_move(name_).ok();
}

std::string FileJob::source_display() const {
  return display_path(loop_.settings_.input_dir_as_typed, name_);
}

std::string FileJob::destination_display() const {
  return display_path(loop_.settings_.backup_dir_as_typed, name_);
}

ScanLoop::ScanLoop(Env& env, FileHandler& handler, ScanSettings settings, Console console,
                   LoadHistory* history)
    : env_(env),
      handler_(handler),
      settings_(std::move(settings)),
      console_(console),
      skip_next_connect_(settings_.connect_tried_at_start),
      history_(history) {
  input_dir_ = fs::absolute(settings_.input_dir_as_typed);
  backup_dir_ = fs::absolute(settings_.backup_dir_as_typed);
  auto star = settings_.pattern.find('*');
  extension_ = star == std::string::npos ? settings_.pattern : settings_.pattern.substr(star + 1);
}

void ScanLoop::run() {
  while (!stop_requested()) {
    scan();
    if (settings_.once) break;
    pause_unless_stopped(env_, settings_.pause);
  }
}

void ScanLoop::scan() {
  bool connected = ensure_connected();
  console_.print(format_scanning_line(settings_.input_dir_as_typed, local_time(env_.now()),
                                      settings_.pattern));

  std::vector<DirectoryEntry> files;
  IoResult listed = list_input_files(env_, input_dir_, extension_, files);
  if (!listed.ok()) {
    console_.print("Cannot read the input directory " + settings_.input_dir_as_typed + ": " +
                   listed.reason() + "\n");
    return;
  }
  if (!connected) return;

  int handled = 0;
  auto now = env_.now();
  for (const auto& file : files) {
    if (stop_requested()) return;
    if (!is_settled(file, now, settings_.settle)) continue;
    FileJob job(*this, file);
    Prepared prepared = prepare(job);
    if (prepared != Prepared::skipped) ++handled;
    if (prepared == Prepared::to_handle) handler_.handle_file(job);
    if (job.history_ != nullptr) job.history_->release(job.identity_);
    // A connection lost in the middle of a file leaves the rest for the
    // scan that has a connection again.
    if (!handler_.session().connected()) return;
  }
  if (handled == 0) handler_.on_scan_without_files();
}

bool ScanLoop::ensure_connected() {
  auto& session = handler_.session();
  // A failed start-up connect was printed a moment ago; once is enough.
  const bool tried_just_now = std::exchange(skip_next_connect_, false);
  if (session.connected()) return true;
  if (tried_just_now) return false;
  db::Status status = session.connect();
  if (status.failed()) handler_.report_sql_error(status);
  return session.connected();
}

ScanLoop::Prepared ScanLoop::prepare(FileJob& job) {
  job.read_result_ = env_.read_file(input_dir_ / job.name_, job.bytes_);
  if (!job.read_result_.ok() || history_ == nullptr) return Prepared::to_handle;

  job.identity_ = identify_file(job.name_, job.bytes_, job.entry_.modified);
  Claim claim = Claim::busy;
  db::Status status = history_->claim(job.identity_, claim, job.progress_);
  if (status.failed()) {
    handler_.session().rollback();
    handler_.report_sql_error(status);
    console_.print("The load history of " + job.name_ +
                   " could not be read; the file stays for a later scan\n");
    return Prepared::skipped;
  }
  if (claim == Claim::busy) return Prepared::skipped;  // another instance loads it now
  job.history_ = history_;
  if (job.progress_.state == LoadProgress::State::loaded) return move_loaded_earlier(job);
  return Prepared::to_handle;
}

ScanLoop::Prepared ScanLoop::move_loaded_earlier(FileJob& job) {
  // The lookup opened a transaction that has nothing to keep.
  handler_.session().rollback();
  if (try_move(job.name_).ok()) {
    console_.print("File " + job.name_ + " was loaded earlier and is now moved to " +
                   display_path(settings_.backup_dir_as_typed, job.name_) + "\n");
  }
  return Prepared::done;
}

IoResult ScanLoop::try_move(const std::string& name) {
  IoResult moved = move_file(env_, input_dir_ / name, backup_dir_ / name);
  if (!moved.ok()) {
    console_.print("File " + name + " was loaded but could not be moved to " +
                   display_path(settings_.backup_dir_as_typed, name) + ": " + moved.reason() +
                   "; it will not be loaded again, only its move retried\n");
  }
  return moved;
}

}  // namespace qx::driver
