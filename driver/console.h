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
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "driver/line_notices.h"

namespace qx::driver {

class Console {
 public:
  // Implicit, so that a stream can be passed wherever a console is taken.
  Console(std::FILE* out)  // NOLINT(google-explicit-constructor)
      : out_(out), shared_(std::make_shared<Shared>()) {}

  // Writes `text` as it stands and flushes it, or appends it to the
  // capture in place.
  void print(std::string_view text) const {
    if (shared_->capture != nullptr) {
      shared_->capture->append(text);
      return;
    }
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
  }

  // From now on the lines of this console and all its copies are appended
  // to `*into` instead of being written, until capture(nullptr): a file
  // loaded in a batch keeps its lines until the batch's outcome is known.
  // `into` must outlive the capture.
  void capture(std::string* into) const { shared_->capture = into; }

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
    text += file;
    text += " line " + std::to_string(line_number) + ": ";
    text += what;
    text += '\n';
    print(text);
  }

  // Prints how many notices of each kind the file in hand held back, once
  // per kind, and starts the tally again. Called when a file's lines have
  // all been read.
  void end_of_file() const { print(shared_->notices.take_held_back()); }

  std::FILE* stream() const { return out_; }

  // The tally of the notices so far, to be put back (restore_notices) when
  // the lines that counted into it are given up unseen and read again.
  LineNotices notices() const { return shared_->notices; }
  void restore_notices(const LineNotices& notices) const { shared_->notices = notices; }

 private:
  struct Shared {
    LineNotices notices;
    std::string* capture = nullptr;
  };
  std::FILE* out_;
  std::shared_ptr<Shared> shared_;
};

// The same as Console(out).print(text), for a caller that holds a stream.
inline void print_line(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

}  // namespace qx::driver
