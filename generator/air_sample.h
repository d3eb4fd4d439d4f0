// Synthetic AIR interface files: lines of ';'-separated fields, each line one
// record whose first field starts with its tag. A file holds one or more
// bookings, each opened by an "AMD " or "AMDR" header line; between them come
// the record kinds a booking carries (airline, dates, flight segments,
// auxiliary segments, fares, passengers, tickets, remarks, form of payment,
// ...), now and then a second "AM" line, a line whose tag no loader handles,
// and an "EN" closing line. Field counts vary around each kind's stored
// columns, some fields are empty, and some texts carry Windows-1252 letters.
#pragma once

#include <cstdint>
#include <string>

#include "generator/sample_format.h"

namespace qx::generator {

// One AIR file of exactly options.records lines and options.bookings
// bookings (at least one line each; records below bookings is raised to
// bookings). Lines end with a line feed, or CR LF when options.crlf is set;
// the last line has its line end too. No field holds ';', a line end, a NUL or
// a byte 26. U lines carry a three-digit number at the start of their second
// field and I lines a two-digit one, counted from 1 in each booking.
std::string generate_air_file(const FileOptions& options, std::uint64_t seed);

}  // namespace qx::generator
