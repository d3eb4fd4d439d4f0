// How a fixed-record loader (PNR, MIR) takes one file of a scan: read it
// whole, cut it into records (file_records.h), name every record that held
// a NUL byte, file every record, load the file as one transaction, and
// move it into the backup directory. "File Read Complete" closes every
// file. The loaders differ only in the console lines of RecordFileSteps.
//
// A file is moved only when its transaction committed. A file that cannot
// be read, or whose key could not be drawn or whose commit failed, stays in
// the input directory and is taken again at a later scan; nothing of it was
// stored, so it is loaded exactly once in the end.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "db/session.h"
#include "os/console.h"
#include "record_loader/fixed_record_loader.h"
#include "record_loader/record_load.h"
#include "records/file_records.h"
#include "scan/scan_loop.h"

namespace qx::record_loader {

inline constexpr const char* kFileReadComplete = "\nFile Read Complete. Waiting for Next File\n";

// Where the loaders' console lines differ.
struct RecordFileSteps {
  // "Currently Processing NAME" comes before the read (true) or after a
  // successful one.
  bool announce_before_read = false;
  // When not empty, printed with the name and a line end after the lines of
  // a file that could not be read, or was loaded but could not be copied
  // into the backup directory (a failed removal after the copy has a line
  // of its own).
  std::string_view not_found;
  // A scan that found no file prints "File Read Complete" once.
  bool complete_line_without_files = false;
};

class RecordFileHandler : public scan::FileHandler {
 public:
  // The file handling of `loader`'s format on `session`; with
  // `verbose_flag` a committed file's move is announced as "File Moved As:
  // SOURCE---DESTINATION" before "File Read Complete".
  RecordFileHandler(db::Session& session, std::unique_ptr<FixedRecordLoader> loader,
                    RecordFileSteps steps, bool verbose_flag, os::Console console);

  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status& status) override { loader_->report_sql_error(status); }
  void handle_file(scan::FileJob& job) override;
  bool takes_batches() const override { return true; }
  // Loads the files in one transaction (record_batch.cc); when anything
  // fails, loads them one by one instead, as handle_file does.
  std::size_t handle_batch(std::span<scan::FileJob* const> jobs) override;
  // Cuts and converts a file read ahead while a batch's rows or commit
  // are on their way (record_ahead.cc), under a key drawn earlier.
  bool prepare_ahead(scan::FileJob& job) override;
  void on_scan_without_files() override;
  std::string_view file_key_sequence() const override;

 private:
  // What write_in_batch would have made of a file, worked out ahead: its
  // console lines, records, account (under a key drawn earlier) and rows.
  struct PreparedFile : scan::FileJob::Prepared {
    std::string lines;
    std::size_t records = 0;
    FileAccount account;
    BatchWriter::PreparedRows rows;
  };
  // What reading and cutting a file for a batch found.
  enum class Filed {
    unread,      // it could not be read
    loadable,    // its records are filed
    unloadable,  // it cannot be taken apart, or holds no known record
  };
  enum class FileEnd {
    not_loaded,  // left in the input directory for a later scan
    moved,
    not_moved,    // loaded, but its move failed (the scan loop retries it)
    not_removed,  // loaded and copied, but the input file stays (the scan loop retries it)
  };

  // Reads the whole file; when it cannot be read, prints "Cannot open NAME:
  // REASON; it stays for the next scan" and "File Read Complete".
  bool read(scan::FileJob& job);
  // Files every record into the loader and counts them into `records`.
  // When the file's text cannot be taken apart (its content meets a
  // failure no record limit foresees), returns why, with nothing filed:
  // the file is then handled as a file of no known record.
  std::optional<std::string> file_records(const std::string& name, std::size_t& records);
  // Cuts the file's text into records and files each, counting them.
  void cut_and_file(const std::string& name, std::size_t& records);
  // Whether the file read last is to be set aside as one of no known
  // record, or one that cannot be taken apart (`unparsed`); see set_aside.
  bool unloadable(scan::FileJob& job, const std::optional<std::string>& unparsed);
  // What the load of the file stored, and why it waits if it does.
  void note_report(scan::FileReport& report, LoadOutcome outcome, std::size_t records,
                   const FileAccount& account) const;
  // Reads, files and writes the files in one transaction and commits it,
  // keeping each file's console lines until the commit's outcome is known;
  // then each file ends as handle_file would end it. Returns how many files
  // it handled: all of them; only the first when the connection was lost
  // during the commit (the rest wait, as after the first file's own lost
  // commit); 0, with nothing printed or stored, when any write or the
  // commit failed.
  std::size_t load_together(std::span<scan::FileJob* const> jobs);
  // The batch's keys: those its claims drew, and the others drawn together;
  // false when they could not be drawn.
  bool draw_keys(std::span<scan::FileJob* const> jobs, std::vector<std::int64_t>& keys);
  // One file of load_together, up to its written rows, under `key`.
  bool write_in_batch(scan::FileJob& job, std::size_t& records, FileAccount& account,
                      std::int64_t key);
  // Reads and cuts the job's file and files its records into the loader,
  // counting them into `records`, its lines told as in a batch; why it
  // cannot be taken apart into `unparsed`.
  Filed file_for_batch(scan::FileJob& job, std::size_t& records,
                       std::optional<std::string>& unparsed);
  // The file cut and converted under `key` as write_in_batch would write
  // it, its lines kept; nullptr, with nothing kept, when it is one
  // write_in_batch would not write.
  std::unique_ptr<PreparedFile> prepare(scan::FileJob& job, std::int64_t key);
  // The job's file as prepare_ahead left it, or nullptr.
  static PreparedFile* prepared_file(const scan::FileJob& job) {
    return dynamic_cast<PreparedFile*>(job.prepared());
  }
  FileEnd end_file(scan::FileJob& job, LoadOutcome outcome);
  void print_not_found(const std::string& name);
  // A file with records none of which had a known type, or one that
  // cannot be taken apart, is told in one line, "File NAME " + `what`; with a
  // failed directory it is moved there, not loaded (so it has no history
  // row), and reported failed for `reason`, and true is returned. Without one it is loaded as any
  // file (with nothing filed, if it could not be taken apart).
  bool set_aside(scan::FileJob& job, scan::FileReport::SetAside reason, const std::string& what);

  db::Session& session_;
  std::unique_ptr<FixedRecordLoader> loader_;
  RecordFileSteps steps_;
  bool verbose_flag_;
  os::Console console_;
  // The file in hand; the filed rows view it until the load is done.
  records::FileRecords text_;
  // Set from a batch's rows on to its commit's answer: then the loader
  // holds no file, and prepare_ahead may use it.
  bool committing_batch_ = false;
  // Keys drawn for files converted ahead, oldest first; on a server they
  // stay unused by any other file, whatever becomes of a transaction.
  std::deque<std::int64_t> spare_keys_;
};

}  // namespace qx::record_loader
