// The PNR layouts, transcribed once. Each row of a layout table below is
// one slot, in slot order: slot k becomes column <prefix>k. Two cuts overlap
// the field before them on purpose, as the interface defines them: tm2_41
// starts at 204 inside tm2_39/tm2_40, and tm6_1 is three characters long so
// position 5 is also tm6_2.
#include "tarvo/pnr_records.h"

#include <array>

namespace qx::tarvo {
namespace {

using records::cut;
using records::HeaderColumn;
using records::kUnfilled;
using records::RecordType;
using records::Slot;
using records::tagged;

// clang-format off

// The header line: slot 0 is the line's first 13 characters, "AA" included.
// Slots 41 to 46 are inserted but no line fills them.
constexpr Slot kHeader[] = {
    cut(1, 13),    cut(14, 1),   cut(15, 2),  cut(17, 10), cut(27, 1),    // 0-4
    cut(28, 2),    cut(30, 1),   cut(31, 6),  cut(37, 10), cut(47, 7),    // 5-9
    cut(54, 8),    cut(62, 1),   cut(63, 16), cut(79, 1),  cut(80, 1),    // 10-14
    cut(81, 10),   cut(91, 8),   cut(99, 18), cut(117, 5), cut(122, 5),   // 15-19
    cut(127, 10),  cut(137, 5),  cut(142, 5), cut(147, 3), cut(150, 17),  // 20-24
    cut(167, 3),   cut(170, 17), cut(187, 3), cut(190, 3), cut(193, 3),   // 25-29
    cut(196, 3),   cut(199, 3),  cut(202, 3), cut(205, 3), cut(208, 3),   // 30-34
    cut(211, 3),   cut(214, 3),  cut(217, 4), cut(221, 5), cut(226, 5),   // 35-39
    cut(231, 220), kUnfilled,    kUnfilled,   kUnfilled,   kUnfilled,     // 40-44
    kUnfilled,     kUnfilled,                                             // 45-46
};

// clang-format on

constexpr HeaderColumn kHeaderColumns[] = {
    {"tm0_file_name", HeaderColumn::Value::file_name, {}},
    {"tm0_created_on", HeaderColumn::Value::literal, "CURRENT_TIMESTAMP"},
    {"tm0_loaded_flag", HeaderColumn::Value::literal, "'N'"},
};

// clang-format off

// Position 129 is taken by no field.
constexpr Slot kM1Fields[] = {
    cut(3, 2),   cut(5, 64),  cut(69, 31),   cut(100, 20), cut(120, 5),  // 1-5
    cut(125, 2), cut(127, 2), cut(130, 2),   cut(132, 2),  cut(134, 2),  // 6-10
    cut(136, 2), cut(138, 1), cut(139, 200),                             // 11-13
};

// Slot 41 overlaps slots 39 and 40, and positions 218 to 221 are taken by no
// field. Slot 50 and slots 52 to 58 are never filled; slot 51 is filled by a
// continuation line (kContinuationSlot), never by the M2 line itself.
constexpr Slot kM2Fields[] = {
    cut(3, 2),    cut(5, 3),    cut(8, 11),   cut(19, 1),    cut(20, 1),   // 1-5
    cut(21, 1),   cut(22, 12),  cut(34, 1),   cut(35, 11),   cut(46, 1),   // 6-10
    cut(47, 7),   cut(54, 2),   cut(56, 1),   cut(57, 7),    cut(64, 2),   // 11-15
    cut(66, 1),   cut(67, 7),   cut(74, 2),   cut(76, 1),    cut(77, 11),  // 16-20
    cut(88, 28),  cut(116, 1),  cut(117, 11), cut(128, 8),   cut(136, 1),  // 21-25
    cut(137, 8),  cut(145, 1),  cut(146, 8),  cut(154, 1),   cut(155, 1),  // 26-30
    cut(156, 1),  cut(157, 8),  cut(165, 15), cut(180, 4),   cut(184, 1),  // 31-35
    cut(185, 1),  cut(186, 1),  cut(187, 10), cut(197, 10),  cut(207, 1),  // 36-40
    cut(204, 14), cut(222, 4),  cut(226, 2),  cut(228, 2),   cut(230, 2),  // 41-45
    cut(232, 2),  cut(234, 10), cut(244, 1),  cut(245, 200), kUnfilled,    // 46-50
    kUnfilled,    kUnfilled,    kUnfilled,    kUnfilled,     kUnfilled,    // 51-55
    kUnfilled,    kUnfilled,    kUnfilled,                                 // 56-58
};

constexpr Slot kM3Fields[] = {
    cut(3, 2),    cut(5, 1),   cut(6, 1),    cut(7, 1),     cut(8, 2),    // 1-5
    cut(10, 5),   cut(15, 3),  cut(18, 1),   cut(19, 3),    cut(22, 17),  // 6-10
    cut(39, 3),   cut(42, 17), cut(59, 2),   cut(61, 5),    cut(66, 2),   // 11-15
    cut(68, 5),   cut(73, 5),  cut(78, 8),   cut(86, 4),    cut(90, 1),   // 16-20
    cut(91, 1),   cut(92, 1),  cut(93, 18),  cut(111, 2),   cut(113, 3),  // 21-25
    cut(116, 6),  cut(122, 6), cut(128, 62), cut(190, 5),   cut(195, 1),  // 26-30
    cut(196, 37), cut(233, 1), cut(234, 14), cut(248, 200),               // 31-34
};

constexpr Slot kM4Fields[] = {
    cut(3, 2),    cut(5, 3),  cut(8, 1),  cut(9, 1),   cut(10, 5),   // 1-5
    cut(15, 5),   cut(20, 2), cut(22, 3), cut(25, 7),  cut(32, 6),   // 6-10
    cut(38, 2),   cut(40, 8), cut(48, 1), cut(49, 12), cut(61, 10),  // 11-15
    cut(71, 200),                                                    // 16
};

// tm6_1 takes three characters, so position 5 is cut twice.
constexpr Slot kM6Fields[] = {cut(3, 3), cut(5, 1), cut(6, 1), cut(7, 200)};

constexpr Slot kMAFields[] = {
    cut(3, 4),    cut(7, 10),   cut(17, 2),    cut(19, 11),   cut(30, 93),  // 1-5
    cut(123, 49), cut(172, 85), cut(257, 735), cut(992, 200),               // 6-9
};

// A number and a text: M7, M8, M9 and ME.
constexpr Slot kNumberedTextFields[] = {cut(3, 2), cut(5, 200)};
// A number, a code and a text: M5, MB, MC and MD.
constexpr Slot kNumberedCodedTextFields[] = {cut(3, 2), cut(5, 2), cut(7, 200)};

// clang-format on

constexpr auto kM1 = tagged("M1", kM1Fields);
constexpr auto kM2 = tagged("M2", kM2Fields);
constexpr auto kM3 = tagged("M3", kM3Fields);
constexpr auto kM4 = tagged("M4", kM4Fields);
constexpr auto kM5 = tagged("M5", kNumberedCodedTextFields);
constexpr auto kM6 = tagged("M6", kM6Fields);
constexpr auto kM7 = tagged("M7", kNumberedTextFields);
constexpr auto kM8 = tagged("M8", kNumberedTextFields);
constexpr auto kM9 = tagged("M9", kNumberedTextFields);
constexpr auto kMA = tagged("MA", kMAFields);
constexpr auto kMB = tagged("MB", kNumberedCodedTextFields);
constexpr auto kMC = tagged("MC", kNumberedCodedTextFields);
constexpr auto kMD = tagged("MD", kNumberedCodedTextFields);
constexpr auto kME = tagged("ME", kNumberedTextFields);

// tag, table, prefix, rows, layout, header columns, labels.
// clang-format off
constexpr RecordType kTypes[] = {
    {"AA", "qx_tarvo_m0", "tm0_", 2, kHeader, kHeaderColumns, " M0(Header)", "M0"},
    {"M1", "qx_tarvo_m1", "tm1_", 75, kM1, {}, "M1", "M1"},
    {"M2", "qx_tarvo_m2", "tm2_", 50, kM2, {}, "M2", "M2"},
    {"M3", "qx_tarvo_m3", "tm3_", 25, kM3, {}, "M3", "M3"},
    {"M4", "qx_tarvo_m4", "tm4_", 15, kM4, {}, "M4", "M4"},
    {"M5", "qx_tarvo_m5", "tm5_", 75, kM5, {}, "M5", "M5"},
    {"M6", "qx_tarvo_m6", "tm6_", 15, kM6, {}, "M6", "M6"},
    {"M7", "qx_tarvo_m7", "tm7_", 50, kM7, {}, "M7", "M7"},
    {"M8", "qx_tarvo_m8", "tm8_", 15, kM8, {}, "M8", "M8"},
    {"M9", "qx_tarvo_m9", "tm9_", 15, kM9, {}, "M9", "M9"},
    {"MA", "qx_tarvo_ma", "tma_", 10, kMA, {}, "MA", "MA"},
    {"MB", "qx_tarvo_mb", "tmb_", 10, kMB, {}, "MB", "MB"},
    {"MC", "qx_tarvo_mc", "tmc_", 10, kMC, {}, "MC", "MC"},
    {"MD", "qx_tarvo_md", "tmd_", 25, kMD, {}, "MD", "MD"},
    {"ME", "qx_tarvo_me", "tme_", 50, kME, {}, "ME", "ME"},
};
// clang-format on

constexpr records::RecordFormat kFormat = {kTypes, kTagLength, kPnrLoadPlan, nullptr};

}  // namespace

std::span<const records::RecordType> pnr_record_types() {
  return kTypes;
}

const records::RecordFormat& pnr_format() {
  return kFormat;
}

}  // namespace qx::tarvo
