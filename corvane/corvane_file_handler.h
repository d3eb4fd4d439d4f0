// How the AIR loader takes the files of a scan: read each in text mode,
// print "Currently Processing", load it line by line, move it into the
// backup directory and print "File Read Complete".
//
// Lines are committed in groups (BatchLimits::lines, bytes, time, files):
// the lines of one file, and of the files of a backlog handed over
// together, each group in one transaction with the history rows of its
// files. A group's console lines are held until its commit is known, and
// its files are moved after it, so that what is stored, moved and printed
// is what one commit per line gives. A group that meets any failure is
// rolled back unseen and its lines are done again one commit per line,
// which then tells the failure as ever. With BatchLimits::lines at 1 every
// line is committed on its own.
//
// A file that cannot be opened is left for the next scan; a connection lost
// in the middle of a file leaves the file in place, and so does a line that
// cannot be stored for a reason that is not its data (no booking key, a
// failing database: rolled back, one line printed saying why) and a stop
// request (after the group in hand). The load history holds how far the
// file got: it is taken up again at its first line not stored, with the
// booking key and serials it had there, so that its rows are those of one
// load.
#pragma once

#include <chrono>
#include <cstdio>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/air_loader.h"
#include "os/console.h"
#include "scan/batch_limits.h"
#include "scan/scan_loop.h"

namespace qx::corvane {

inline constexpr const char* kFileReadComplete = "File Read Complete. Waiting for Next File\n\n";

class CorvaneFileHandler : public scan::FileHandler {
 public:
  // `limits.lines` above 1 commits lines in groups within the other limits.
  CorvaneFileHandler(db::Session& session, AirBuild build, os::Console console,
                     scan::BatchLimits limits = {});

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_.report_sql_error(status); }
  void handle_file(scan::FileJob& job) override;
  bool takes_batches() const override { return limits_.lines > 1; }
  // Loads the files' lines in groups (air_groups.cc); the files after one
  // that leaves the rest of the scan waiting (a lost connection, a refusing
  // database, a stop) are not handled.
  std::size_t handle_batch(std::span<scan::FileJob* const> jobs) override;
  void on_scan_without_files() override;

  const AirLoader& loader() const { return loader_; }

 private:
  enum class LoadResult {
    loaded,
    unread,  // the file could not be read
    connection_lost,
    refused,  // a line could not be stored: the file waits at that line
    stopped,  // a stop request came between two lines
    // No line is one the loader knows, and the file is to be set aside
    // into the failed directory without being loaded.
    set_aside,
  };

  // One file of those handed over, as its lines are taken.
  struct AirFile {
    scan::FileJob* job = nullptr;
    std::string contents;
    std::vector<std::string_view> lines;
    bool opened = false;
    bool history_row_written = false;
    // Lines before this index are committed, or taken into the group in hand.
    std::size_t next_line = 0;
  };

  // What a file's end prints and does once its lines' commit is known.
  struct FileEnd {
    AirFile* file;
    LoadResult result;
    std::string refusal;
    std::int64_t lines_done;
  };

  // One transaction's worth of lines while grouped: its console lines,
  // captured, with the ends of files among them (performed in order after
  // the commit, at their place in `text`), and the history accounts its
  // writes read until the commit returns.
  struct Group {
    std::string text;
    std::vector<std::pair<std::size_t, FileEnd>> ends;
    std::deque<history::LoadProgress> accounts;
    std::size_t lines = 0;
    std::uint64_t bytes = 0;
    int files = 0;
    std::chrono::steady_clock::time_point began = std::chrono::steady_clock::now();
    // The file the group took lines from last, while their account is not
    // yet written.
    AirFile* unwritten = nullptr;
    // On a database that binds arrays, the history rows of the files begun
    // and ended in the group, written together before its commit.
    history::LoadHistory* loaded_history = nullptr;
    std::vector<const history::FileIdentity*> loaded_files;
    std::vector<const history::LoadProgress*> loaded_accounts;
  };

  // Where a group began, to do its lines again one by one.
  struct Checkpoint {
    std::size_t file;
    AirFile state;  // without contents or lines
    AirLoader::Snapshot loader;
    os::LineNotices notices;
  };

  // Reads the file, prints "Currently Processing", begins or resumes it; an
  // end when it goes no further (unread, or set aside).
  std::optional<LoadResult> open_file(AirFile& file);
  // Takes the file's next line and commits it with the history row; an end
  // when the file goes no further in this scan.
  std::optional<LoadResult> take_line_alone(AirFile& file);
  // Closes the file's notices and its report; what is left to do once the
  // commit of its lines is known.
  FileEnd finish_file(AirFile& file, LoadResult result);
  // Prints what the file's load came to, and moves it if it was loaded.
  void end_file(const FileEnd& end);
  // Whether the files after `file` wait for a later scan.
  bool rest_waits(const AirFile& file) const;

  // How far a group got: the file in hand and the lines of it taken.
  struct Reached {
    std::size_t file = 0;
    std::size_t line = 0;
  };
  // air_groups.cc: takes one group of lines from files_[at] on and commits
  // it, then prints its lines and ends its files; `at` moves past the files
  // it ended, and `stop_batch` says that the rest waits (a stop, a lost
  // connection). False when the group was given up: rolled back, nothing of
  // it stored or printed, with `reached` just past what failed.
  bool run_group(std::size_t& at, bool& stop_batch, Reached& reached);
  // Takes the lines of the group; false when a write failed.
  bool take_group(Group& group, std::size_t& at, bool& stop_batch, Reached& reached);
  bool group_full(const Group& group) const;
  // How many booking keys the lines the group can still take draw, from
  // the line in hand of files_[at] on (for AirLoader::set_keys_ahead).
  std::size_t keys_ahead(const Group& group, std::size_t at) const;
  // Ends the file within the group: its end waits for the commit.
  void end_in_group(Group& group, AirFile& file, LoadResult result);
  // Writes the history account of `file` after the lines the group took of
  // it, as the file's last (`last_line`, marking it loaded) or not.
  bool write_group_account(Group& group, AirFile& file, bool last_line);
  Checkpoint checkpoint(std::size_t at);
  void back_to(const Checkpoint& checkpoint);

  // Writes the file's history row, in the transaction of its first line.
  LineOutcome start_history(const history::HistoryEntry& history);
  // Advances the history row to `line_number` (the file's last line marks it
  // loaded) and commits the line.
  LineOutcome commit_line(const history::HistoryEntry& history, std::size_t line_number,
                          bool last_line);

  // Moves the file after its load, or says why it waits.
  void tell_outcome(const FileEnd& end);
  // What the load stored, and why the file waits if it does.
  void note_report(scan::FileReport& report, LoadResult result);
  // Tells a file with lines none of which the loader knows; true when it is to
  // be set aside rather than loaded (there is a failed directory).
  bool no_line_known(scan::FileJob& job, const std::vector<std::string_view>& lines);

  db::Session& session_;
  os::Console console_;
  AirLoader loader_;
  scan::BatchLimits limits_;
  // The files handed over in hand.
  std::vector<AirFile> files_;
  // Set when the last refused line was refused for its own data (its commit
  // broke a deferred constraint), which counts against the file.
  bool refused_own_data_ = false;
};

}  // namespace qx::corvane
