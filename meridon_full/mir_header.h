// Splitting the header record off the front of a MIR file's text. A file
// that begins with "T51" begins with its header record: its first 342
// characters, read as text, so that a line feed (alone or after a carriage
// return) ends it sooner. A carriage return among those characters is part
// of the header, as a reservation system may write one inside it, unless
// what follows it is where the records begin (a known record tag, or the
// end of the file): then it is the header's own end, so that a short
// header never swallows the records after it. The header's own end (also
// one right after 342 characters) belongs to the header and to no record;
// the records after it are read as records. A header record longer than
// 342 characters gives its first 342 to the header and the rest, up to its
// end, to the first record after it.
//
// A file that does not begin with "T51" has no header: all of it is read
// as records, so that a file without one loses no record into a garbled
// header row.
#pragma once

#include <string>

namespace qx::meridon_full {

// A records::HeaderSplit: moves the header record, with its record end,
// from the front of `body` into `header` (emptied first). Returns whether
// the header ended before its 342nd character. Takes any text, of any
// length, without throwing.
bool take_mir_header(std::string& body, std::string& header);

}  // namespace qx::meridon_full
