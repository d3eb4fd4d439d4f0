// A FILE* whose output a test can read back: what a loader prints.
#pragma once

#include <cstdio>
#include <string>

namespace qx::testing {

class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;

  std::FILE* file() const { return file_; }
  // Everything written so far.
  std::string text();
  // Everything written since the last call to take(), and forgets it.
  std::string take();

 private:
  std::FILE* file_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
  std::size_t taken_ = 0;
};

}  // namespace qx::testing
