#include "os/console.h"

#include <sys/stat.h>

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace qx::os {

bool is_journal_stream(std::FILE* out, const char* journal_stream) {
  if (journal_stream == nullptr || out == nullptr) return false;
  const char* end = journal_stream + std::strlen(journal_stream);
  const char* colon = std::strchr(journal_stream, ':');
  if (colon == nullptr) return false;
  unsigned long long device = 0;
  unsigned long long inode = 0;
  auto [device_end, device_error] = std::from_chars(journal_stream, colon, device);
  auto [inode_end, inode_error] = std::from_chars(colon + 1, end, inode);
  if (device_error != std::errc() || device_end != colon || inode_error != std::errc() ||
      inode_end != end) {
    return false;
  }
  const int fd = ::fileno(out);
  struct stat status {};
  if (fd < 0 || ::fstat(fd, &status) != 0) return false;
  return status.st_dev == device && status.st_ino == inode;
}

Console::Console(std::FILE* out)
    : Console(out, is_journal_stream(out, std::getenv("JOURNAL_STREAM"))) {}

Console::Console(std::FILE* out, bool journal) : out_(out), shared_(std::make_shared<Shared>()) {
  shared_->journal = journal;
}

std::string Console::with_priority(std::string_view text, Priority priority) const {
  if (!shared_->journal) return std::string(text);
  const std::string prefix = "<" + std::to_string(static_cast<int>(priority)) + ">";
  std::string out;
  out.reserve(text.size() + prefix.size());
  for (char c : text) {
    if (shared_->at_line_start) out += prefix;
    out += c;
    shared_->at_line_start = c == '\n';
  }
  return out;
}

void Console::write(std::string_view text) const {
  if (shared_->held != nullptr) {
    shared_->held->append(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

void Console::print(std::string_view text, Priority priority) const {
  const std::string line = with_priority(text, priority);
  if (shared_->capture != nullptr) {
    shared_->capture->append(line);
    return;
  }
  write(line);
}

void Console::replay(std::string_view captured) const {
  write(captured);
}

}  // namespace qx::os
