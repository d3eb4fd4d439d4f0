// The PNR record types as data: the fifteen fixed-position layouts, from
// the header (lines beginning "AA") through M1 to ME, in the order their
// rows are inserted; the continuation lines that extend the last M2 line;
// and how a file's rows are keyed and its header marked as loaded.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string_view>

#include "record_loader/record_load.h"
#include "records/record_format.h"
#include "records/record_type.h"

namespace qx::tarvo {

// Header, M1, ..., M9, MA, ..., ME: the type order of inserting and clearing.
std::span<const records::RecordType> pnr_record_types();

// A line whose tag is one of these, right after an M2 line, continues that
// line: its first 200 characters go to slot 51 of the M2 row.
inline constexpr std::array<std::string_view, 6> kContinuationTags = {"CA", "PO", "LP",
                                                                      "IN", "NO", "CH"};
inline constexpr std::string_view kContinuedTag = "M2";
inline constexpr std::size_t kContinuationSlot = 51;
inline constexpr records::Slot kContinuationCut = records::Slot::cut(1, 200);
// `last_tag` after a continuation line, so that a second one is ignored.
inline constexpr std::string_view kAfterContinuation = "~~";

// The characters of a line that name its type.
inline constexpr std::size_t kTagLength = 2;

inline constexpr records::LoadPlan kPnrLoadPlan = {
    "TARVO_SEQUENCE", "update qx_tarvo_m0  set tm0_loaded_flag='Y' where tm0_reference=:b0", false,
    "update qx_tarvo_m0 set tm0_loaded_flag='Y' where tm0_reference = any(cast(:b0 as bigint[]))"};

// The PNR format: the types above, tagged by two characters, keyed and
// marked by kPnrLoadPlan; a file has no header record of fixed length.
const records::RecordFormat& pnr_format();

}  // namespace qx::tarvo
