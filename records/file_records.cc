#include "records/file_records.h"

#include "os/text_reading.h"

namespace qx::records {

std::vector<std::size_t> FileRecords::cut(HeaderSplit take_header) {
  os::end_at_ctrl_z(body_);
  header_.clear();
  short_header_ = take_header != nullptr && take_header(body_, header_);
  const bool has_header = !header_.empty();

  std::vector<std::size_t> with_nul;
  // The header is record 1, whatever carriage returns it holds.
  if (!os::blank_nul_bytes(header_, '\r').empty()) with_nul.push_back(1);
  for (std::size_t line : os::blank_nul_bytes(body_, '\r')) {
    with_nul.push_back(line + (has_header ? 1 : 0));
  }

  records_.clear();
  if (has_header) records_.push_back(header_);
  for (std::string_view record : os::split_at_carriage_returns(body_)) {
    records_.push_back(record);
  }
  return with_nul;
}

}  // namespace qx::records
