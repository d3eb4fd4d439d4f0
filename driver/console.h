// The loaders' console: banner, progress and error lines go to one FILE*
// (standard output in the programs, a captured stream in tests), each
// written whole and flushed at once, so that an operator watching a loader
// that runs for months sees every line when it happens.
//
// A Console is a small value: everything that prints takes one, and copies
// of it write to the same stream.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace qx::driver {

class Console {
 public:
  // Implicit, so that a stream can be passed wherever a console is taken.
  Console(std::FILE* out) : out_(out) {}  // NOLINT(google-explicit-constructor)

  // Writes `text` as it stands and flushes it.
  void print(std::string_view text) const {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
  }

  // "File NAME line N: WHAT", the one wording of every notice about a line
  // of a file (a cut, a drop, a NUL byte read as a blank).
  void about_line(std::string_view file, std::size_t line_number, std::string_view what) const {
    std::string text = "File ";
    text += file;
    text += " line " + std::to_string(line_number) + ": ";
    text += what;
    text += '\n';
    print(text);
  }

  std::FILE* stream() const { return out_; }

 private:
  std::FILE* out_;
};

// The same as Console(out).print(text), for a caller that holds a stream.
inline void print_line(std::FILE* out, std::string_view text) {
  Console(out).print(text);
}

}  // namespace qx::driver
