// The MIR layouts, transcribed once. Each entry of a layout below is one
// slot, in slot order: slot k becomes column <prefix>k. Slot 0 of every row
// holds a constant, the fields follow from slot 1, each given by its start
// and length as the interface lists them.
#include "meridon_full/mir_records.h"

#include <array>

#include "meridon_full/mir_header.h"

namespace qx::meridon_full {
namespace {

using records::cut;
using records::HeaderColumn;
using records::RecordType;
using records::Slot;
using records::tagged;

// clang-format off

// The header: positions 1 and 2 are not cut (slot 0 holds "T5"), and
// positions 81, 145, 242 and 294 are taken by no field.
constexpr Slot kHeaderFields[] = {
    cut(3, 2),   cut(5, 4),   cut(9, 2),    cut(11, 5),   cut(16, 5),    // 1-5
    cut(21, 12), cut(33, 29), cut(62, 7),   cut(69, 12),  cut(82, 4),    // 6-10
    cut(86, 4),  cut(90, 9),  cut(99, 6),   cut(105, 6),  cut(111, 2),   // 11-15
    cut(113, 1), cut(114, 6), cut(120, 1),  cut(121, 4),  cut(125, 7),   // 16-20
    cut(132, 3), cut(135, 7), cut(142, 3),  cut(146, 3),  cut(149, 12),  // 21-25
    cut(161, 1), cut(162, 3), cut(165, 8),  cut(173, 2),  cut(175, 8),   // 26-30
    cut(183, 2), cut(185, 8), cut(193, 2),  cut(195, 8),  cut(203, 2),   // 31-35
    cut(205, 8), cut(213, 2), cut(215, 12), cut(227, 15), cut(243, 23),  // 36-40
    cut(266, 2), cut(268, 1), cut(269, 4),  cut(273, 5),  cut(278, 6),   // 41-45
    cut(284, 2), cut(286, 4), cut(290, 4),  cut(295, 48),                // 46-49
};

// clang-format on

constexpr HeaderColumn kHeaderColumns[] = {
    {"mt5_file_name", HeaderColumn::Value::file_name, {}},
};

// clang-format off
constexpr Slot kA02Fields[] = {
    cut(4, 33),  cut(37, 11), cut(48, 22), cut(70, 6),  cut(76, 2),    // 1-5
    cut(78, 2),  cut(80, 3),  cut(83, 33), cut(116, 2), cut(118, 13),  // 6-10
    cut(131, 2), cut(133, 3), cut(136, 2), cut(138, 1), cut(139, 2),   // 11-15
    cut(141, 1), cut(142, 2), cut(144, 2), cut(146, 2), cut(148, 33),  // 16-20
    cut(181, 2), cut(183, 7), cut(190, 3), cut(193, 2), cut(195, 11),  // 21-25
};

constexpr Slot kA03Fields[] = {cut(4, 21), cut(25, 2), cut(27, 1), cut(28, 20)};

// A04 and A05 share their first thirteen fields; from position 79 on they
// differ.
constexpr Slot kA04A05SharedFields[] = {
    cut(4, 2),  cut(6, 2),   cut(8, 3),   cut(11, 12), cut(23, 4),  // 1-5
    cut(27, 2), cut(29, 2),  cut(31, 5),  cut(36, 5),  cut(41, 5),  // 6-10
    cut(46, 1), cut(47, 16), cut(63, 16),                           // 11-13
};

constexpr std::array<Slot, 26> kA04OwnFields = {
    cut(79, 1),  cut(80, 1),  cut(81, 4),  cut(85, 1),   cut(86, 1),    // 14-18
    cut(87, 3),  cut(90, 4),  cut(94, 3),  cut(97, 5),   cut(102, 1),   // 19-23
    cut(103, 1), cut(104, 4), cut(108, 3), cut(111, 13), cut(124, 1),   // 24-28
    cut(125, 5), cut(130, 4), cut(134, 6), cut(140, 3),  cut(143, 12),  // 29-33
    cut(155, 3), cut(158, 5), cut(163, 3), cut(166, 1),  cut(167, 3),   // 34-38
    cut(170, 5),                                                        // 39
};

constexpr std::array<Slot, 2> kA05OwnFields = {cut(79, 4), cut(83, 1)};

constexpr Slot kA07Fields[] = {
    cut(4, 2),  cut(6, 3),   cut(9, 12), cut(21, 3), cut(24, 12),  // 1-5
    cut(36, 3), cut(39, 12), cut(51, 3), cut(54, 3), cut(57, 8),   // 6-10
    cut(65, 2), cut(67, 3),  cut(70, 8), cut(78, 2), cut(80, 3),   // 11-15
    cut(83, 8), cut(91, 2),                                        // 16-17
};

// The last field runs from position 46 to the end of the line.
constexpr Slot kA08Fields[] = {
    cut(4, 2),  cut(6, 2),  cut(8, 8),  cut(16, 8),  // 1-4
    cut(24, 7), cut(31, 7), cut(38, 6), cut(44, 2),  // 5-8
    Slot::rest_of_line(46, kRestOfLineLimit),        // 9
};

constexpr Slot kA09Fields[] = {
    cut(4, 2),    cut(6, 1),    cut(7, 61),   cut(68, 61),   // 1-4
    cut(129, 61), cut(190, 61), cut(251, 51), cut(302, 61),  // 5-8
};

constexpr Slot kA11Fields[] = {
    cut(4, 2),   cut(6, 12),  cut(18, 1),  cut(19, 2),   cut(21, 20),  // 1-5
    cut(41, 4),  cut(45, 8),  cut(53, 1),  cut(54, 2),   cut(56, 2),   // 6-10
    cut(58, 2),  cut(60, 41), cut(101, 2), cut(103, 30), cut(133, 2),  // 11-15
    cut(135, 3),                                                       // 16
};

constexpr Slot kA12Fields[] = {cut(4, 3), cut(7, 2), cut(9, 64)};
constexpr Slot kA13Fields[] = {cut(4, 2), cut(6, 223)};
// A14 and A21: one text of 240 characters.
constexpr Slot kTextFields[] = {cut(4, 240)};

// clang-format on

constexpr auto kHeader = tagged("T5", kHeaderFields);
constexpr auto kA02 = tagged("A02", kA02Fields);
constexpr auto kA03 = tagged("A03", kA03Fields);
constexpr auto kA04 = tagged("A04", kA04A05SharedFields, kA04OwnFields);
constexpr auto kA05 = tagged("A05", kA04A05SharedFields, kA05OwnFields);
constexpr auto kA07 = tagged("A07", kA07Fields);
constexpr auto kA08 = tagged("A08", kA08Fields);
constexpr auto kA09 = tagged("A09", kA09Fields);
constexpr auto kA11 = tagged("A11", kA11Fields);
constexpr auto kA12 = tagged("A12", kA12Fields);
constexpr auto kA13 = tagged("A13", kA13Fields);
constexpr auto kA14 = tagged("A14", kTextFields);
constexpr auto kA21 = tagged("A21", kTextFields);

// tag, table, prefix, rows, layout, header columns, labels.
// clang-format off
constexpr RecordType kTypes[] = {
    {"T51", "qx_meridon_t5", "mt5_", 1, kHeader, kHeaderColumns, "T51(Header)", "Header(T51)"},
    {"A02", "qx_meridon_a02", "ma02_", 15, kA02, {}, "A02", "A02"},
    {"A03", "qx_meridon_a03", "ma03_", 15, kA03, {}, "A03", "A03"},
    {"A04", "qx_meridon_a04", "ma04_", 5, kA04, {}, "A04", "A04"},
    {"A05", "qx_meridon_a05", "ma05_", 5, kA05, {}, "A05", "A05"},
    {"A07", "qx_meridon_a07", "ma07_", 15, kA07, {}, "A07", "A07"},
    {"A08", "qx_meridon_a08", "ma08_", 15, kA08, {}, "A08", "A08"},
    {"A09", "qx_meridon_a09", "ma09_", 5, kA09, {}, "A09", "A09"},
    {"A11", "qx_meridon_a11", "ma11_", 10, kA11, {}, "A11", "A11"},
    {"A12", "qx_meridon_a12", "ma12_", 5, kA12, {}, "A12", "A12"},
    {"A13", "qx_meridon_a13", "ma13_", 5, kA13, {}, "A13", "A13"},
    {"A14", "qx_meridon_a14", "ma14_", 50, kA14, {}, "A14", "A14"},
    {"A21", "qx_meridon_a21", "ma21_", 50, kA21, {}, "A21", "A21"},
};
// clang-format on

constexpr records::RecordFormat kFormat = {kTypes, kTagLength, kMirLoadPlan, &take_mir_header};

}  // namespace

std::span<const records::RecordType> mir_record_types() {
  return kTypes;
}

const records::RecordFormat& mir_format() {
  return kFormat;
}

}  // namespace qx::meridon_full
