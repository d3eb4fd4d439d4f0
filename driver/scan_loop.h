// The life every loader shares once it has started: scan the input
// directory, hand each file to the loader, move what was loaded into the
// backup directory, pause, and begin again, until stopped.
//
// What the loop guarantees, whatever the file handler does:
//   - each scan first connects again if the connection is missing, and
//     without a connection no file is opened or moved;
//   - files are taken in scan order (directory_scan.h), and a file still
//     being written (settle check) is left for a later scan;
//   - a file that was loaded but could not be moved is never given to the
//     loader again by this process: later scans retry only its move;
//   - an input directory that cannot be read is reported at each scan, and
//     no other directory is scanned in its place;
//   - a stop request (stop_signal.h) ends the loop after the file in hand.
#pragma once

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/session.h"
#include "driver/console.h"
#include "driver/env.h"

namespace qx::driver {

struct ScanSettings {
  // As typed on the command line; printed paths keep this form.
  std::string input_dir_as_typed;
  std::string backup_dir_as_typed;
  std::string pattern;  // "*.air": names ending in the part after "*", in any case
  std::chrono::milliseconds pause{0};
  std::chrono::milliseconds settle{0};
  bool once = false;
  // The program tried to connect just before the loop starts and has said
  // how that went: the first scan does not try again at once.
  bool connect_tried_at_start = false;
};

class ScanLoop;

// One file of a scan, as the loader sees it.
class FileJob {
 public:
  // The name alone, as the directory holds it.
  const std::string& name() const { return name_; }
  // Reads the whole file. After a failure `contents` is empty and the file
  // stays where it is, for the next scan.
  IoResult read(std::string& contents);
  // Moves the file into the backup directory. A failure is printed with the
  // file's name and the reason, and the file is remembered as loaded, so
  // that later scans only retry its move. Returns whether it moved.
  bool move_to_backup();
  // The move's source and destination in the form typed on the command line.
  std::string source_display() const;
  std::string destination_display() const;

 private:
  friend class ScanLoop;
  FileJob(ScanLoop& loop, const DirectoryEntry& entry)
      : loop_(loop), entry_(entry), name_(entry.name) {}
  ScanLoop& loop_;
  const DirectoryEntry& entry_;
  std::string name_;
};

// What a loader program contributes to the loop: how it takes one file of
// a scan.
class FileHandler {
 public:
  virtual ~FileHandler() = default;
  virtual db::Session& session() = 0;
  // Prints a database failure through the loader's own error printer.
  virtual void report_sql_error(const db::Status& status) = 0;
  // Loads one file (reading it through the job) and moves it if it should
  // go; its own progress lines, in its own order.
  virtual void handle_file(FileJob& job) = 0;
  // Called at the end of a scan in which no file was handled.
  virtual void on_scan_without_files() = 0;
};

class ScanLoop {
 public:
  // Makes both directories absolute against the current directory, once.
  ScanLoop(Env& env, FileHandler& handler, ScanSettings settings, Console console);

  // Scans until a stop is requested, or once with `once` set.
  void run();
  // One scan, without the pause after it.
  void scan();

 private:
  friend class FileJob;
  struct Remembered {
    std::uintmax_t size;
    std::chrono::system_clock::time_point modified;
  };

  bool ensure_connected();
  bool retry_move_if_remembered(const DirectoryEntry& file);
  void forget_files_gone(const std::vector<DirectoryEntry>& files);
  // Moves a loaded file into the backup directory; a failure is printed
  // with the file's name and the reason.
  IoResult try_move(const std::string& name);

  Env& env_;
  FileHandler& handler_;
  ScanSettings settings_;
  Console console_;
  bool skip_next_connect_;
  std::filesystem::path input_dir_;
  std::filesystem::path backup_dir_;
  std::string extension_;
  // Loaded but not moved, by name; forgotten when the file is gone or has
  // changed (then it is a new file).
  std::map<std::string, Remembered> loaded_not_moved_;
};

}  // namespace qx::driver
