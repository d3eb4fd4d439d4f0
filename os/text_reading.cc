#include "os/text_reading.h"

#include <algorithm>

namespace qx::os {

void end_at_ctrl_z(std::string& contents) {
  auto at = contents.find('\x1a');
  if (at != std::string::npos) contents.resize(at);
}

void fold_crlf(std::string& contents) {
  std::size_t out = 0;
  for (std::size_t in = 0; in < contents.size(); ++in) {
    if (contents[in] == '\r' && in + 1 < contents.size() && contents[in + 1] == '\n') continue;
    contents[out++] = contents[in];
  }
  contents.resize(out);
}

std::vector<std::string_view> split_at_line_feeds(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    auto end = text.find('\n');
    if (end == std::string_view::npos) {
      lines.push_back(text);
      break;
    }
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::vector<std::string_view> split_at_carriage_returns(std::string_view text) {
  std::vector<std::string_view> records;
  while (!text.empty()) {
    auto end = text.find('\r');
    if (end == std::string_view::npos) {
      records.push_back(text);
      break;
    }
    records.push_back(text.substr(0, end));
    std::size_t end_length = text.substr(end).starts_with("\r\n") ? 2 : 1;
    text.remove_prefix(end + end_length);
  }
  return records;
}

TextModeLine read_text_mode_line(std::string_view contents, std::size_t limit) {
  TextModeLine read;
  std::size_t& at = read.consumed;
  while (read.line.size() < limit && at < contents.size()) {
    const bool pair = contents.substr(at).starts_with("\r\n");
    read.line += pair ? '\n' : contents[at];
    at += pair ? 2 : 1;
    if (read.line.back() == '\n') break;
  }
  return read;
}

std::vector<std::size_t> blank_nul_bytes(std::string& text, char line_end) {
  std::vector<std::size_t> lines;
  if (text.find('\0') == std::string::npos) return lines;
  std::size_t line = 1;
  for (char& c : text) {
    if (c == line_end) {
      ++line;
    } else if (c == '\0') {
      c = ' ';
      if (lines.empty() || lines.back() != line) lines.push_back(line);
    }
  }
  return lines;
}

}  // namespace qx::os
