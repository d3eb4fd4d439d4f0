// Splitting the header record off the front of a MIR file's text. A file
// that begins with "T51" begins with its header record: at most 342
// characters, ended sooner by its own record end (a carriage return, a
// carriage return and line feed pair, or a line feed). That record end,
// also when it comes right after 342 characters, belongs to the header and
// to no record; the records after it are read as records. A header record
// longer than 342 characters gives its first 342 to the header and the
// rest, up to its end, to the first record after it.
//
// A file that does not begin with "T51" has no header: all of it is read
// as records, so that a file without one loses no record into a garbled
// header row.
#pragma once

#include <string>

namespace qx::meridon_full {

// A records::HeaderSplit: moves the header record, with its record end,
// from the front of `body` into `header` (emptied first).
void take_mir_header(std::string& body, std::string& header);

}  // namespace qx::meridon_full
