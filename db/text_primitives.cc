#include "db/text_primitives.h"

namespace qx::db {
namespace {

// The 0-based offset at which a cut starting at `start` begins, or nothing
// when the cut is empty whatever its length.
std::optional<std::size_t> cut_offset(std::string_view text, std::int64_t start) {
  const auto size = static_cast<std::int64_t>(text.size());
  if (start == 0) start = 1;
  if (start < 0) start += size + 1;  // -1 is the last character
  if (start < 1 || start > size) return std::nullopt;
  return static_cast<std::size_t>(start - 1);
}

}  // namespace

std::string_view substr(std::string_view text, std::int64_t start) {
  const auto offset = cut_offset(text, start);
  if (!offset) return {};
  return text.substr(*offset);
}

std::string_view substr(std::string_view text, std::int64_t start, std::int64_t length) {
  const auto offset = cut_offset(text, start);
  if (!offset || length < 1) return {};
  // string_view::substr keeps what is there when the length runs past the end.
  return text.substr(*offset, static_cast<std::uint64_t>(length));
}

std::int64_t instr(std::string_view text, std::string_view search, std::int64_t start) {
  const auto size = static_cast<std::int64_t>(text.size());
  if (text.empty() || search.empty() || start == 0) return 0;
  std::size_t found;
  if (start > 0) {
    if (start > size) return 0;
    found = text.find(search, static_cast<std::size_t>(start - 1));
  } else {
    // A negative start counts back from the end and searches backwards from
    // there: the occurrence must begin at or before that position.
    const std::int64_t from = size + start;  // 0-based
    if (from < 0) return 0;
    found = text.rfind(search, static_cast<std::size_t>(from));
  }
  return found == std::string_view::npos ? 0 : static_cast<std::int64_t>(found) + 1;
}

}  // namespace qx::db
