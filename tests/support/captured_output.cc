#include "support/captured_output.h"

#include <cstdlib>
#include <stdexcept>

namespace qx::testing {

CapturedOutput::CapturedOutput() {
  file_ = open_memstream(&buffer_, &size_);
  if (file_ == nullptr) throw std::runtime_error("open_memstream failed");
}

CapturedOutput::~CapturedOutput() {
  std::fclose(file_);
  std::free(buffer_);
}

std::string CapturedOutput::text() {
  std::fflush(file_);
  return std::string(buffer_, size_);
}

std::string CapturedOutput::take() {
  std::string all = text();
  std::string fresh = all.substr(taken_);
  taken_ = all.size();
  return fresh;
}

}  // namespace qx::testing
