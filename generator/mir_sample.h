// Synthetic MIR interface files: one ticketed booking per file, as
// fixed-position records. The file opens with the header record ("T51"),
// exactly 342 characters long; then come the passengers (A02), their
// frequent-flyer numbers (A03), the air segments (A04) and other segments
// (A05), fares (A07), fare bases (A08, whose last field runs to the end of
// the record), fare calculations (A09), forms of payment (A11), phone
// numbers (A12), addresses (A13) and remarks (A14, A21), in that order, now
// and then with a record kind no loader table takes (A10, A16) between
// them. Every record, the header included, ends with a carriage return (CR
// LF with options.crlf). Records past the header are as long as their data:
// trailing blanks are not written, so many end before their last fields.
#pragma once

#include <cstdint>
#include <string>

#include "generator/sample_format.h"

namespace qx::generator {

// The length of the header record.
inline constexpr int kMirHeaderLength = 342;

// The most records one file holds: the header, what the loader's record
// tables take, and a few records of kinds no table takes.
inline constexpr int kMostMirRecords = 206;

// One MIR file of options.records records (the header included), at most
// kMostMirRecords; options.bookings is not used. A file of 13 records or
// more holds the header and every A-record kind the loader stores, each
// within the number of records of its kind one file may hold. No record
// holds a carriage return, a line feed, a NUL or a byte 26, and no A08
// record runs past 999 characters after position 45; texts are
// Windows-1252.
std::string generate_mir_file(const FileOptions& options, std::uint64_t seed);

}  // namespace qx::generator
