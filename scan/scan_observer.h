// What the scan loop tells about its work, for those who watch a loader
// from outside: a summary line per file, an event log, a metrics file. The
// loop and the program call one observer; ObserverList hands every event to
// several. Observers never change what is loaded, and a failing observer
// (a log that cannot be written) does not stop the loader.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/file_report.h"

namespace qx::scan {

// What an operator must act on, by where it lies.
enum class FailureKind {
  database,         // the database cannot be connected to
  input_directory,  // the input directory cannot be read
  backup_move,      // a loaded file cannot be put into the backup directory
  file,             // a file waits for a reason of its own (unreadable, refused)
  // The database answers but refuses work that is no file's fault (a
  // missing table or privilege, a full or read-only database, no key).
  database_refusal,
};

// "database", "input_directory", "backup_move", "file", "database_refusal".
std::string_view failure_kind_name(FailureKind kind);

// Who is running: told once at start.
struct StartInfo {
  std::string program;  // "tarvo"
  std::string version;  // "1.4.0"
  std::string instance;
  std::string database;  // the session's description
  std::string input_dir;
  std::string backup_dir;
};

// What one scan found and left.
struct ScanReport {
  std::chrono::system_clock::time_point time;  // when the scan ended
  bool connected = false;
  bool input_readable = false;
  int files_found = 0;
  int files_done = 0;
  // Since when the oldest file left in the input directory has waited: its
  // modification time, or when the loop first saw it if that is earlier
  // (a file dated ahead of the clock, or still changing).
  std::optional<std::chrono::system_clock::time_point> oldest_waiting;
  int files_waiting() const { return files_found - files_done; }
  // A scan that could look at every file: connected, and the directory read.
  bool successful() const { return connected && input_readable; }
};

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  virtual void started(const StartInfo& /*info*/) {}
  virtual void stopped() {}
  // After each file the scan took up (claimed, not left to another
  // instance), once its handler's lines are printed.
  virtual void file_done(const FileReport& /*report*/) {}
  virtual void scan_done(const ScanReport& /*report*/) {}
  // A failure began; `detail` names what (a path, a file, the reason).
  virtual void failure_started(FailureKind /*kind*/, const std::string& /*detail*/) {}
  // A failure that began earlier is gone, after `lasted`.
  virtual void failure_ended(FailureKind /*kind*/, const std::string& /*detail*/,
                             std::chrono::seconds /*lasted*/) {}
};

// Hands every event to each observer added, in the order they were added.
class ObserverList : public ScanObserver {
 public:
  void add(std::unique_ptr<ScanObserver> observer) { observers_.push_back(std::move(observer)); }
  bool empty() const { return observers_.empty(); }

  void started(const StartInfo& info) override {
    for (auto& o : observers_) o->started(info);
  }
  void stopped() override {
    for (auto& o : observers_) o->stopped();
  }
  void file_done(const FileReport& report) override {
    for (auto& o : observers_) o->file_done(report);
  }
  void scan_done(const ScanReport& report) override {
    for (auto& o : observers_) o->scan_done(report);
  }
  void failure_started(FailureKind kind, const std::string& detail) override {
    for (auto& o : observers_) o->failure_started(kind, detail);
  }
  void failure_ended(FailureKind kind, const std::string& detail,
                     std::chrono::seconds lasted) override {
    for (auto& o : observers_) o->failure_ended(kind, detail, lasted);
  }

 private:
  std::vector<std::unique_ptr<ScanObserver>> observers_;
};

}  // namespace qx::scan
