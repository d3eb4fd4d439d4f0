// Synthetic PNR interface files: one booking per file, as fixed-position
// records, each ended by a carriage return (CR LF with options.crlf). The
// header record ("AA") comes first; then the passengers (M1), their fare
// and ticket records (M2, now and then followed by one continuation line
// beginning CA, PO, LP, IN, NO or CH), the flight segments (M3), and the
// other record kinds M4 to ME, in that order, as reservation systems write
// them. Records are as long as their data: trailing blanks are not written,
// so many records end before their last fields, and now and then an MA
// record runs to more than a thousand characters.
#pragma once

#include <cstdint>
#include <string>

#include "generator/sample_format.h"

namespace qx::generator {

// The most records one file holds: what the loader's record tables take,
// plus one continuation line per M2 record.
inline constexpr int kMostPnrRecords = 491;

// One PNR file of options.records records (continuation lines included),
// at most kMostPnrRecords; options.bookings is not used. A file of 16
// records or more holds every record kind, each within the number of lines
// of its kind one file may hold. No record holds a carriage return, a line
// feed, a NUL or a byte 26; texts are Windows-1252.
std::string generate_pnr_file(const FileOptions& options, std::uint64_t seed);

}  // namespace qx::generator
