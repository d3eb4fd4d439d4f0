#include "meridon_full/mir_header.h"

#include <algorithm>
#include <string_view>

#include "meridon_full/mir_records.h"

namespace qx::meridon_full {

void take_mir_header(std::string& body, std::string& header) {
  header.clear();
  if (!body.starts_with(kHeaderTag)) return;
  const std::size_t length = std::min(body.find_first_of("\r\n"), kHeaderLength);
  header.assign(body, 0, length);
  std::string_view rest = std::string_view(body).substr(length);
  const std::size_t own_end = rest.starts_with("\r\n")                           ? 2
                              : rest.starts_with('\r') || rest.starts_with('\n') ? 1
                                                                                 : 0;
  body.erase(0, length + own_end);
}

}  // namespace qx::meridon_full
