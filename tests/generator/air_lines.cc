#include "generator/air_lines.h"

#include <stdexcept>

namespace qx::testing {

std::vector<std::string> split_lines(std::string_view text, std::string_view end) {
  if (!text.empty() && !text.ends_with(end)) throw std::invalid_argument("last line has no end");
  std::vector<std::string> lines;
  while (!text.empty()) {
    const auto at = text.find(end);
    lines.emplace_back(text.substr(0, at));
    text.remove_prefix(at + end.size());
  }
  return lines;
}

std::vector<std::string> split_fields(std::string_view line) {
  std::vector<std::string> fields;
  while (true) {
    const auto at = line.find(';');
    fields.emplace_back(line.substr(0, at));
    if (at == line.npos) return fields;
    line.remove_prefix(at + 1);
  }
}

}  // namespace qx::testing
