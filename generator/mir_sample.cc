#include "generator/mir_sample.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>
#include <vector>

#include "generator/record_plan.h"
#include "generator/sample_booking.h"
#include "generator/sample_fields.h"
#include "generator/sample_random.h"
#include "generator/travel_vocabulary.h"

namespace qx::generator {
namespace {

// An amount right-aligned in `width` characters, as fixed-position records
// write numbers.
std::string amount(SampleRandom& random, int low, int high, int width) {
  std::string text = fare_amount(random, low, high);
  if (static_cast<int>(text.size()) < width) text.insert(0, width - text.size(), ' ');
  return text;
}

std::string_view tax_code(SampleRandom& random) {
  static constexpr std::string_view kCodes[] = {"DE", "RA", "OY", "YQ", "YR", "GB", "UB", "XT"};
  return random.pick(std::span<const std::string_view>(kCodes));
}

std::string ticket_number(Booking& b) {
  return std::string(b.carrier.ticket_prefix) + ticket_serial(b.random);
}

std::string header_record(Booking& b, int) {
  auto& r = b.random;
  const Segment& first = b.segments.front();
  FixedRecord rec("T51");
  rec.put(4, 1, r.digits(1)).put(5, 4, r.digits(4)).put(9, 2, "DE");
  rec.put(11, 5, r.digits(5)).put(16, 5, r.digits(5)).put(21, 12, "FRAL" + r.digits(8));
  rec.put(33, 29, in_order({"REISEBURO ", remark_text(r, 4, 19)}));
  rec.put(62, 7, issue_date(r) + flag(r, "AB")).put(69, 12, r.digits(12));
  rec.put(82, 4, clock_time(r)).put(86, 4, r.digits(4)).put(90, 9, b.locator + r.digits(3));
  rec.put(99, 6, issue_date(r)).put(105, 6, issue_date(r)).put(111, 2, b.carrier.code);
  rec.put(113, 1, flag(r, "YN")).put(114, 6, r.digits(6)).put(120, 1, flag(r, "DI"));
  rec.put(121, 4, r.digits(4)).put(125, 7, first.date + padded(r.between(23, 26), 2));
  rec.put(132, 3, first.from->code).put(135, 7, first.from->city);
  rec.put(142, 3, b.segments.back().to->code).put(146, 3, b.currency);
  rec.put(149, 12, amount(r, 80, 4800, 12)).put(161, 1, flag(r, "FN"));
  rec.put(162, 3, b.currency).put(165, 8, amount(r, 80, 4800, 8));
  for (int field = 173; field <= 203; field += 10) {
    rec.put(field, 2, tax_code(r)).put(field + 2, 8, amount(r, 1, 180, 8));
  }
  rec.put(213, 2, tax_code(r)).put(215, 12, amount(r, 100, 5200, 12));
  rec.put(227, 15, ticket_number(b)).put(243, 23, b.passengers.front());
  rec.put(266, 2, padded(static_cast<int>(b.passengers.size()), 2)).put(268, 1, flag(r, "YN"));
  rec.put(269, 4, r.digits(4)).put(273, 5, r.digits(5)).put(278, 6, issue_date(r));
  rec.put(284, 2, r.letters(2)).put(286, 4, clock_time(r)).put(290, 4, r.digits(4));
  rec.put(295, 48, remark_text(r, 10, 48));
  return rec.text(kMirHeaderLength);
}

std::string passenger_record(Booking& b, int i) {
  auto& r = b.random;
  static constexpr std::string_view kTypes[] = {"ADT", "ADT", "ADT", "CHD", "INF", "YTH"};
  FixedRecord rec("A02");
  rec.put(4, 33, b.passengers[static_cast<std::size_t>(i) % b.passengers.size()]);
  rec.put(37, 11, r.digits(11)).put(48, 22, phone_number(r)).put(70, 6, issue_date(r));
  rec.put(76, 2, padded(i + 1, 2)).put(78, 2, r.letters(2));
  rec.put(80, 3, r.pick(std::span<const std::string_view>(kTypes)));
  if (r.percent(40)) rec.put(83, 33, remark_text(r, 5, 33));
  rec.put(116, 2, padded(i + 1, 2)).put(118, 13, ticket_number(b)).put(131, 2, r.digits(2));
  rec.put(133, 3, b.currency).put(136, 2, r.digits(2)).put(138, 1, flag(r, "YN"));
  rec.put(139, 2, r.digits(2)).put(141, 1, flag(r, "YN")).put(142, 2, r.digits(2));
  rec.put(144, 2, r.digits(2)).put(146, 2, r.digits(2));
  if (r.percent(50)) rec.put(148, 33, remark_text(r, 5, 33));
  rec.put(181, 2, r.digits(2)).put(183, 7, amount(r, 1, 900, 7)).put(190, 3, b.currency);
  rec.put(193, 2, r.digits(2)).put(195, 11, r.digits(11));
  return rec.text();
}

std::string frequent_flyer_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("A03");
  rec.put(4, 21, b.passengers[static_cast<std::size_t>(i) % b.passengers.size()]);
  rec.put(25, 2, padded(i + 1, 2)).put(27, 1, flag(r, "YN"));
  return rec.put(28, 20, std::string(b.carrier.code) + r.digits(12)).text();
}

// The first thirteen fields, which air and other segments share.
FixedRecord segment_start(std::string_view tag, Booking& b, int i) {
  auto& r = b.random;
  const Segment& s = segment_for(b, i);
  FixedRecord rec(tag);
  rec.put(4, 2, padded(i + 1, 2)).put(6, 2, s.carrier->code).put(8, 3, s.carrier->ticket_prefix);
  rec.put(11, 12, s.carrier->name).put(23, 4, s.flight).put(27, 2, flag(r, "YBMHQKLFCJ"));
  rec.put(29, 2, r.percent(85) ? "OK" : "RQ").put(31, 5, s.date).put(36, 5, clock_time(r));
  rec.put(41, 5, clock_time(r)).put(46, 1, flag(r, "01"));
  rec.put(47, 16, in_order({s.from->code, s.from->city}));
  rec.put(63, 16, in_order({s.to->code, s.to->city}));
  return rec;
}

std::string air_segment_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec = segment_start("A04", b, i);
  rec.put(79, 1, flag(r, "YN")).put(80, 1, flag(r, "YN")).put(81, 4, r.digits(4));
  rec.put(85, 1, flag(r, "MS")).put(86, 1, flag(r, "01")).put(87, 3, r.percent(50) ? "320" : "77W");
  rec.put(90, 4, r.digits(4)).put(94, 3, "ADT").put(97, 5, r.digits(5));
  rec.put(102, 1, flag(r, "YN")).put(103, 1, flag(r, "YN")).put(104, 4, clock_time(r));
  rec.put(108, 3, segment_for(b, i).to->code);
  if (r.percent(30)) rec.put(111, 13, "OPERATED BY " + std::string(any_carrier(r).code));
  rec.put(124, 1, flag(r, "YN")).put(125, 5, r.digits(5)).put(130, 4, r.digits(4));
  rec.put(134, 6, issue_date(r)).put(140, 3, b.currency);
  rec.put(143, 12, in_order({r.letters(1), r.letters(5), "EU"}));
  rec.put(155, 3, r.digits(3)).put(158, 5, travel_date(r)).put(163, 3, r.letters(3));
  rec.put(166, 1, flag(r, "YN")).put(167, 3, r.letters(3)).put(170, 5, r.digits(5));
  return rec.text();
}

std::string other_segment_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec = segment_start("A05", b, i);
  return rec.put(79, 4, r.digits(4)).put(83, 1, flag(r, "HCT")).text();
}

std::string fare_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("A07");
  rec.put(4, 2, padded(i + 1, 2)).put(6, 3, b.currency).put(9, 12, amount(r, 80, 4800, 12));
  rec.put(21, 3, b.currency).put(24, 12, amount(r, 80, 4800, 12)).put(36, 3, b.currency);
  rec.put(39, 12, amount(r, 100, 5200, 12)).put(51, 3, r.digits(3));
  for (int field = 54; field <= 80; field += 13) {
    rec.put(field, 3, b.currency).put(field + 3, 8, amount(r, 1, 180, 8));
    rec.put(field + 11, 2, tax_code(r));
  }
  return rec.text();
}

std::string fare_basis_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("A08");
  rec.put(4, 2, padded(i + 1, 2)).put(6, 2, r.digits(2));
  rec.put(8, 8, in_order({r.letters(1), r.letters(5), "EU"})).put(16, 8, r.letters(8));
  rec.put(24, 7, amount(r, 10, 999, 7)).put(31, 7, amount(r, 10, 999, 7));
  rec.put(38, 6, issue_date(r)).put(44, 2, r.digits(2));
  // The fare rules: mostly a line, now and then several hundred characters.
  if (r.percent(85)) rec.put(46, 999, remark_text(r, 10, r.percent(20) ? 900 : 120));
  return rec.text();
}

std::string fare_calculation_record(Booking& b, int i) {
  auto& r = b.random;
  std::string calc(b.segments.front().from->code);
  for (const auto& s : b.segments) {
    calc += ' ';
    calc += s.carrier->code;
    calc += ' ';
    calc += s.to->code;
    calc += ' ';
    calc += fare_amount(r, 40, 2400);
  }
  calc += " NUC";
  calc += fare_amount(r, 80, 4800);
  calc += "END ROE1.00 ";
  calc += remark_text(r, 10, 300);
  FixedRecord rec("A09");
  rec.put(4, 2, padded(i + 1, 2)).put(6, 1, flag(r, "01"));
  return rec.put(7, 356, calc).text();
}

std::string unstored_record(std::string_view tag, Booking& b) {
  FixedRecord rec(tag);
  return rec.put(4, 2, b.random.digits(2)).put(6, 80, remark_text(b.random, 5, 80)).text();
}

std::string a10_record(Booking& b, int) {
  return unstored_record("A10", b);
}
std::string a16_record(Booking& b, int) {
  return unstored_record("A16", b);
}

std::string payment_record(Booking& b, int i) {
  auto& r = b.random;
  const bool card = r.percent(60);
  FixedRecord rec("A11");
  rec.put(4, 2, padded(i + 1, 2)).put(6, 12, amount(r, 80, 5200, 12)).put(18, 1, flag(r, "YN"));
  rec.put(19, 2, card ? "CC" : "CA");
  if (card) {
    rec.put(21, 20, in_order({"VI", r.digits(16)})).put(41, 4, r.digits(4));
    rec.put(45, 8, r.digits(8)).put(53, 1, flag(r, "MS"));
  }
  rec.put(54, 2, r.digits(2)).put(56, 2, r.digits(2)).put(58, 2, r.digits(2));
  if (r.percent(40)) rec.put(60, 41, remark_text(r, 5, 41));
  rec.put(101, 2, padded(i + 1, 2));
  rec.put(103, 30, b.passengers[static_cast<std::size_t>(i) % b.passengers.size()]);
  return rec.put(133, 2, r.digits(2)).put(135, 3, b.currency).text();
}

std::string phone_record(Booking& b, int) {
  auto& r = b.random;
  FixedRecord rec("A12");
  rec.put(4, 3, any_airport(r).code).put(7, 2, flag(r, "BHAM") + " ");
  return rec.put(9, 64, in_order({phone_number(r), " ", remark_text(r, 0, 40)})).text();
}

std::string address_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("A13");
  rec.put(4, 2, padded(i + 1, 2));
  return rec.put(6, 223, in_order({remark_text(r, 8, 40), " ", any_airport(r).city})).text();
}

std::string remark_record(std::string_view tag, Booking& b) {
  FixedRecord rec(tag);
  return rec.put(4, 240, remark_text(b.random, 3, b.random.percent(10) ? 240 : 70)).text();
}

std::string a14_record(Booking& b, int) {
  return remark_record("A14", b);
}
std::string a21_record(Booking& b, int) {
  return remark_record("A21", b);
}

// In file order.
enum Kind : std::size_t { kHeader, kA02 };
constexpr std::array<RecordKind, 15> kKinds = {{
    {1, 0, &header_record},
    {15, 6, &passenger_record},
    {15, 3, &frequent_flyer_record},
    {5, 4, &air_segment_record},
    {5, 1, &other_segment_record},
    {15, 4, &fare_record},
    {15, 4, &fare_basis_record},
    {5, 2, &fare_calculation_record},
    {5, 1, &a10_record},
    {10, 2, &payment_record},
    {5, 1, &phone_record},
    {5, 1, &address_record},
    {50, 8, &a14_record},
    {5, 1, &a16_record},
    {50, 4, &a21_record},
}};

// The first records past the header go one to each stored kind, the most
// common first, so that every file of 13 records or more has every kind.
constexpr std::array<std::size_t, 12> kFirstOfEach = {1, 3, 5, 6, 9, 12, 7, 2, 4, 10, 11, 14};

}  // namespace

std::string generate_mir_file(const FileOptions& options, std::uint64_t seed) {
  SampleRandom random(seed);
  const int records = std::clamp(options.records, 1, kMostMirRecords);
  const auto counts = plan_counts(random, records, kKinds, kFirstOfEach);
  Booking booking = new_booking(random, counts[kA02]);
  const std::string_view end = line_end(options, "\r");

  std::string text;
  for (std::size_t kind = 0; kind < kKinds.size(); ++kind) {
    for (int i = 0; i < counts[kind]; ++i) {
      text += kKinds[kind].make(booking, i);
      text += end;
    }
  }
  return text;
}

}  // namespace qx::generator
