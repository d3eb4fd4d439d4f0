// The MIR record types as data: the header record (lines beginning "T51")
// and the twelve A-record types A02 to A21, in the order their rows are
// inserted; the limits of one line; and how a file's rows are keyed and
// its header row touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "record_loader/record_load.h"
#include "records/record_format.h"
#include "records/record_type.h"

namespace qx::meridon_full {

// Header, A02, A03, A04, A05, A07, A08, A09, A11, A12, A13, A14, A21: the
// order of inserting. Clearing takes the header last.
std::span<const records::RecordType> mir_record_types();

// The characters of a line that name its type.
inline constexpr std::size_t kTagLength = 3;

// A file that begins with the header's tag begins with its header record,
// of at most this many characters (mir_header.h).
inline constexpr std::string_view kHeaderTag = "T51";
inline constexpr std::size_t kHeaderLength = 342;

// The most characters the A08 rest-of-line field keeps.
inline constexpr std::int32_t kRestOfLineLimit = 999;

// The update touches the header row of the file (it stores no new value);
// rows of the file are tied together by the key alone.
inline constexpr records::LoadPlan kMirLoadPlan = {
    "MERIDON_SEQUENCE", "update qx_meridon_t5  set mt5_0=mt5_0 where mt5_reference=:b0", true,
    "update qx_meridon_t5 set mt5_0=mt5_0 where mt5_reference = any(cast(:b0 as bigint[]))"};

// The MIR format: the types above, tagged by three characters, keyed and
// touched by kMirLoadPlan, the header record split off by take_mir_header.
const records::RecordFormat& mir_format();

}  // namespace qx::meridon_full
