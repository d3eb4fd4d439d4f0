// The loaders' console: banner, progress and error lines go to one FILE*
// (standard output in the programs, a captured stream in tests), each
// written whole and flushed at once, so that an operator watching a loader
// that runs for months sees every line when it happens.
//
// A Console is a small value: everything that prints takes one, and copies
// of it write to the same stream and share one tally of line notices
// (line_notices.h), so that the few of each kind printed per file are
// counted across the loader and its file handling alike. For the same
// reason a capture (capture()) takes the lines of every copy.
//
// Under a service manager whose journal reads standard output, each line
// begins with its priority as "<N>" (the syslog levels), so that the
// journal can tell failures from progress; on a terminal or in a file the
// lines are written exactly as they always were.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "os/line_notices.h"
#include "os/shown_name.h"

namespace qx::os {

// The syslog levels the journal reads from a "<N>" prefix: failures that
// stop loading are `err`, those that leave a file or a side output behind
// `warning`; the ends of failures and the notices about a file's lines are
// `notice`, everything else (the progress lines) `info`.
enum class Priority { err = 3, warning = 4, notice = 5, info = 6 };

// Whether `out` is the journal's stream: `journal_stream` (the value of
// JOURNAL_STREAM, "DEVICE:INODE") names the device and inode of out's
// descriptor, as the service manager sets it for a unit whose output goes
// to the journal. A process started from such a unit whose output is
// redirected elsewhere inherits the variable but fails the comparison.
// False for a null `journal_stream` or one that cannot be read.
bool is_journal_stream(std::FILE* out, const char* journal_stream);

class Console {
 public:
  // Implicit, so that a stream can be passed wherever a console is taken.
  // Prefixes priorities when `out` is the journal's stream (JOURNAL_STREAM).
  Console(std::FILE* out);  // NOLINT(google-explicit-constructor)
  // Prefixes priorities when `journal` is set, whatever the stream.
  Console(std::FILE* out, bool journal);

  // Writes `text` and flushes it, or appends it to the capture in place:
  // every line, the SQL error printers' too, so that a batch's lines keep
  // their order.
  // For the journal, each line that `text` begins gets the prefix of
  // `priority`; a line continued by a later print keeps the priority it
  // began with.
  void print(std::string_view text, Priority priority = Priority::info) const;

  // Prints what a capture took, as it stands: its lines already carry
  // their priorities.
  void replay(std::string_view captured) const;

  // From now on the lines of this console and all its copies are appended
  // to `*into` instead of being written, until capture(nullptr): a file
  // loaded in a batch keeps its lines until the batch's outcome is known.
  // `into` must outlive the capture.
  void capture(std::string* into) const { shared_->capture = into; }

  // From now on everything this console and its copies would write (lines
  // printed, error printer lines, replayed captures) is appended to
  // `*into` instead, until hold(nullptr): the scan loop holds the lines of
  // a file that tries a refusing database again, and drops them when it is
  // refused again, so that a lasting refusal is recalled at its interval,
  // not at every scan. `into` must outlive the hold.
  void hold(std::string* into) const { shared_->held = into; }

  // "File NAME line N: WHAT", the one wording of every notice about a line
  // of a file (a cut, a drop, a NUL byte read as a blank). Only the first
  // kNoticesShownPerKind notices of each kind per file are printed; the
  // rest are counted for end_of_file. A notice about another file than the
  // one before ends that file's tally first.
  void about_line(std::string_view file, std::size_t line_number, Notice kind,
                  std::string_view what) const {
    if (!shared_->notices.file().empty() && shared_->notices.file() != file) end_of_file();
    if (!shared_->notices.admit(file, kind)) return;
    std::string text = "File ";
    text += shown_name(file);
    text += " line " + std::to_string(line_number) + ": ";
    text += what;
    text += '\n';
    print(text, Priority::notice);
  }

  // Prints how many notices of each kind the file in hand held back, once
  // per kind, and starts the tally again. Called when a file's lines have
  // all been read.
  void end_of_file() const { print(shared_->notices.take_held_back(), Priority::notice); }

  std::FILE* stream() const { return out_; }

  // The tally of the notices so far, to be put back (restore_notices) when
  // the lines that counted into it are given up unseen and read again.
  LineNotices notices() const { return shared_->notices; }
  void restore_notices(const LineNotices& notices) const { shared_->notices = notices; }

 private:
  struct Shared {
    LineNotices notices;
    std::string* capture = nullptr;
    std::string* held = nullptr;
    bool journal = false;
    bool at_line_start = true;
  };
  // `text` with the priority prefixes the journal needs, or as it stands.
  std::string with_priority(std::string_view text, Priority priority) const;
  void write(std::string_view text) const;
  std::FILE* out_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace qx::os
