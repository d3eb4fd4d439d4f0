#include "driver/scan_loop.h"

#include "driver/console.h"
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
  return loop_.env_.read_file(loop_.input_dir_ / name_, contents);
}

bool FileJob::move_to_backup() {
  auto failure = loop_.move_to_backup(name_);
  if (!failure) return true;
  loop_.loaded_not_moved_[name_] = {entry_.size, entry_.modified};
  return false;
}

std::string FileJob::source_display() const {
  return display_path(loop_.settings_.input_dir_as_typed, name_);
}

std::string FileJob::destination_display() const {
  return display_path(loop_.settings_.backup_dir_as_typed, name_);
}

ScanLoop::ScanLoop(Env& env, Loader& loader, ScanSettings settings, std::FILE* out)
    : env_(env), loader_(loader), settings_(std::move(settings)), out_(out) {
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
  print(format_scanning_line(settings_.input_dir_as_typed, local_time(env_.now()),
                             settings_.pattern));

  std::vector<DirectoryEntry> files;
  IoResult listed = list_input_files(env_, input_dir_, extension_, files);
  if (!listed.ok()) {
    print("Cannot read the input directory " + settings_.input_dir_as_typed + ": " +
          listed.reason() + "\n");
    return;
  }
  if (!connected) return;
  forget_files_gone(files);

  int handled = 0;
  auto now = env_.now();
  for (const auto& file : files) {
    if (stop_requested()) return;
    if (retry_move_if_remembered(file)) {
      ++handled;
      continue;
    }
    if (!is_settled(file, now, settings_.settle)) continue;
    FileJob job(*this, file);
    loader_.handle_file(job);
    ++handled;
    // A connection lost in the middle of a file leaves the rest for the
    // scan that has a connection again.
    if (!loader_.session().connected()) return;
  }
  if (handled == 0) loader_.on_scan_without_files();
}

bool ScanLoop::ensure_connected() {
  auto& session = loader_.session();
  if (session.connected()) return true;
  db::Status status = session.connect();
  if (status.failed()) loader_.report_sql_error(status);
  return session.connected();
}

bool ScanLoop::retry_move_if_remembered(const DirectoryEntry& file) {
  auto it = loaded_not_moved_.find(file.name);
  if (it == loaded_not_moved_.end()) return false;
  if (it->second.size != file.size || it->second.modified != file.modified) {
    // Replaced by a new file of the same name: that one is loaded as usual.
    loaded_not_moved_.erase(it);
    return false;
  }
  if (!move_to_backup(file.name)) {
    loaded_not_moved_.erase(it);
    print("File " + file.name + " was loaded earlier and is now moved to " +
          display_path(settings_.backup_dir_as_typed, file.name) + "\n");
  }
  return true;
}

void ScanLoop::forget_files_gone(const std::vector<DirectoryEntry>& files) {
  for (auto it = loaded_not_moved_.begin(); it != loaded_not_moved_.end();) {
    bool present = false;
    for (const auto& file : files) present = present || file.name == it->first;
    it = present ? std::next(it) : loaded_not_moved_.erase(it);
  }
}

std::optional<std::string> ScanLoop::move_to_backup(const std::string& name) {
  auto failure = move_file(env_, input_dir_ / name, backup_dir_ / name);
  if (failure) {
    print("File " + name + " was loaded but could not be moved to " +
          display_path(settings_.backup_dir_as_typed, name) + ": " + *failure +
          "; it will not be loaded again, only its move retried\n");
  }
  return failure;
}

void ScanLoop::print(std::string_view text) {
  print_line(out_, text);
}

}  // namespace qx::driver
