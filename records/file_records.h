// A fixed-record file's text cut into its records, as every reader of such
// a file takes it (the loaders and the benchmark's per-field variant): a
// byte 26 ends the text; the format's header record, when the file begins
// with one, is record 1; the records after it end at a carriage return, or
// at a carriage return and line feed pair taken as one end (a line feed
// alone is record content; a last record without an end is kept when it is
// not empty). A NUL byte reads as a blank, so every position stays where
// it is.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "records/record_format.h"

namespace qx::records {

class FileRecords {
 public:
  // Where the file's bytes are read into before cut().
  std::string& bytes() { return body_; }

  // Cuts the bytes into records, the header split off by `take_header` when
  // it is given. Returns the numbers (from 1) of the records that held a
  // NUL byte, each once.
  std::vector<std::size_t> cut(HeaderSplit take_header);

  // The records of the last cut, in file order; they view this object's
  // text and live until the next read.
  std::span<const std::string_view> records() const { return records_; }
  // The length of the header of the last cut when it ended before its full
  // length; 0 when it did not, or the file has no header.
  std::size_t short_header() const { return short_header_ ? header_.size() : 0; }

 private:
  std::string header_;
  bool short_header_ = false;
  std::string body_;
  std::vector<std::string_view> records_;
};

}  // namespace qx::records
