#include "meridon_full/mir_header.h"

#include <algorithm>
#include <string_view>

#include "meridon_full/mir_records.h"

namespace qx::meridon_full {
namespace {

// Whether the records of the file begin at `text`: it is empty, or it
// opens with the tag of a record type the loader knows.
bool records_begin(std::string_view text) {
  if (text.empty()) return true;
  const std::string_view tag = text.substr(0, kTagLength);
  const auto types = mir_record_types();
  return std::any_of(types.begin(), types.end(),
                     [&](const records::RecordType& type) { return type.tag == tag; });
}

// How many characters of `text` are a record end: CR LF, CR or LF.
std::size_t record_end_length(std::string_view text) {
  if (text.starts_with("\r\n")) return 2;
  return text.starts_with('\r') || text.starts_with('\n') ? 1 : 0;
}

}  // namespace

bool take_mir_header(std::string& body, std::string& header) {
  header.clear();
  if (!body.starts_with(kHeaderTag)) return false;
  const std::string_view text = body;
  std::size_t length = 0;
  std::size_t own_end = 0;
  while (length < kHeaderLength && length < text.size()) {
    const std::string_view rest = text.substr(length);
    const bool ends_here = rest.starts_with('\n') || rest.starts_with("\r\n") ||
                           (rest.starts_with('\r') && records_begin(rest.substr(1)));
    if (ends_here) {
      own_end = record_end_length(rest);
      break;
    }
    ++length;
  }
  if (length == kHeaderLength) own_end = record_end_length(text.substr(length));
  header.assign(body, 0, length);
  body.erase(0, length + own_end);
  return length < kHeaderLength;
}

}  // namespace qx::meridon_full
