// The loaders' console: banner, progress and error lines go to one FILE*
// (standard output in the programs, a captured stream in tests), each
// written whole and flushed at once, so that an operator watching a loader
// that runs for months sees every line when it happens.
#pragma once

#include <cstdio>
#include <string_view>

namespace qx::driver {

inline void print_line(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

}  // namespace qx::driver
