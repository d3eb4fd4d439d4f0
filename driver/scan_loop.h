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
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "db/session.h"
#include "driver/console.h"
#include "driver/env.h"
#include "driver/settle_check.h"

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
  // Takes the file for this process: an exclusive lock, held until the job
  // ends. False when another process holds it (another instance is loading
  // it) or the file is gone: the file is then skipped in this scan, without
  // a word. A lock that cannot be taken for any other reason does not stop
  // the load (the read that follows says what is wrong with the file).
  bool claim();
  // Reads the whole file. After a failure `contents` is empty and the file
  // stays where it is, for the next scan. The job keeps the bytes as read
  // and which file they came from, for the move.
  IoResult read(std::string& contents);
  // Puts the loaded file into the backup directory. When the name still
  // holds the file that was read, the file is moved; when it now holds
  // another file (or none), the bytes that were read are written to the
  // backup directory instead, and the other file is left for the next scan.
  // A failure is printed with the file's name and the reason, and the file
  // is remembered as loaded, so that later scans only retry its move.
  // Returns whether the loaded bytes reached the backup directory.
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
  std::unique_ptr<FileLock> lock_;
  bool was_read_ = false;
  std::string bytes_read_;
  FileIdentity identity_read_;
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
  // Moves a loaded file when the name still holds the file that was read,
  // or else stores the bytes read (store_replaced).
  IoResult move_loaded(const std::string& name, const FileIdentity& identity_read,
                       const std::string& bytes_read);
  // Stores the bytes of a loaded file whose name now holds another file;
  // a failure is printed as a failed move.
  IoResult store_replaced(const std::string& name, const std::string& bytes);
  // Prints a failed move and remembers that a temporary of it may be left.
  void report_failed_move(const std::string& name, const IoResult& failure);
  // Removes the temporaries that failed moves may have left in the backup
  // directory (when even their removal failed), until that succeeds.
  void remove_stale_temporaries();

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
  // Names whose move failed since the last sweep of temporaries.
  std::set<std::string> failed_moves_;
  SettleCheck settle_check_;
};

}  // namespace qx::driver
