#include "generator/pnr_sample.h"

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

std::string money(Booking& b, int low, int high) {
  return std::string(b.currency) + fare_amount(b.random, low, high);
}

// Mostly a line of text, sometimes none, now and then the whole 200.
std::string tail_text(SampleRandom& random) {
  const auto roll = random.below(10);
  if (roll < 2) return "";
  if (roll < 3) return remark_text(random, 200, 240);
  return remark_text(random, 8, 80);
}

std::string header_record(Booking& b, int) {
  auto& r = b.random;
  const Segment& first = b.segments.front();
  const Segment& last = b.segments.back();
  FixedRecord rec("AA");
  static constexpr std::string_view kCountries[] = {"DE", "AT", "CH"};
  rec.put(3, 11, r.digits(11)).put(14, 1, "3");
  rec.put(15, 2, r.pick(std::span<const std::string_view>(kCountries)));
  rec.put(17, 10, r.digits(10)).put(27, 1, flag(r, "ABC")).put(28, 2, padded(r.between(1, 9), 2));
  rec.put(30, 1, "P").put(31, 6, b.locator).put(37, 10, "FRAL" + r.digits(5));
  rec.put(47, 4, r.digits(4)).put(51, 3, r.letters(3)).put(54, 8, "20" + issue_date(r));
  rec.put(62, 1, flag(r, "YN")).put(63, 4, "CUST").put(67, 8, r.digits(8));
  rec.put(79, 1, "0").put(80, 1, "1").put(81, 6, issue_date(r)).put(91, 4, clock_time(r));
  rec.put(99, 18, b.passengers.front()).put(117, 5, padded(int(b.passengers.size()), 5));
  rec.put(122, 5, padded(static_cast<int>(b.segments.size()), 5)).put(127, 10, b.carrier.name);
  rec.put(137, 5, r.digits(5)).put(142, 5, r.digits(5));
  rec.put(147, 3, first.from->code).put(150, 17, first.from->city);
  rec.put(167, 3, last.to->code).put(170, 17, last.to->city);
  rec.put(187, 3, b.currency).put(190, 3, b.carrier.code).put(193, 3, "ADT");
  for (int field = 196; field <= 214; field += 3) rec.put(field, 3, r.digits(3));
  rec.put(217, 4, clock_time(r)).put(221, 5, r.digits(5)).put(226, 5, r.digits(5));
  rec.put(231, 220, remark_text(r, 10, 220));
  return rec.text();
}

std::string passenger_record(Booking& b, int i) {
  auto& r = b.random;
  static constexpr std::string_view kTypes[] = {"ADT", "ADT", "ADT", "CHD", "INF", "YTH"};
  FixedRecord rec("M1");
  rec.put(3, 2, padded(i + 1, 2)).put(5, 64, b.passengers[i % b.passengers.size()]);
  if (r.percent(60)) rec.put(69, 3, b.carrier.code).put(72, 14, r.digits(14));
  rec.put(100, 20, phone_number(r)).put(120, 5, r.pick(std::span<const std::string_view>(kTypes)));
  rec.put(125, 2, padded(r.between(1, 99), 2)).put(127, 2, r.letters(2));
  for (int field = 130; field <= 136; field += 2) rec.put(field, 2, r.digits(2));
  rec.put(138, 1, flag(r, "YN")).put(139, 200, tail_text(r));
  return rec.text();
}

std::string fare_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("M2");
  rec.put(3, 2, padded(i + 1, 2)).put(5, 3, "ADT").put(8, 3, b.carrier.ticket_prefix);
  rec.put(11, 8, r.digits(8)).put(19, 1, flag(r, "01")).put(20, 1, "E").put(21, 1, flag(r, "NY"));
  rec.put(22, 12, money(b, 80, 4800)).put(34, 1, "A").put(35, 11, money(b, 80, 4800));
  rec.put(46, 1, "T");
  for (int field = 47; field <= 67; field += 10) {
    rec.put(field, 7, fare_amount(r, 1, 180));
    rec.put(field + 7, 2, r.letters(2));
    rec.put(field + 9, 1, flag(r, "XP"));
  }
  rec.put(77, 11, money(b, 100, 5200));
  std::string calc(b.segments.front().from->code);
  for (const auto& s : b.segments) {
    calc += ' ';
    calc += s.carrier->code;
    calc += ' ';
    calc += s.to->code;
  }
  rec.put(88, 28, calc).put(116, 1, "1").put(117, 3, b.carrier.ticket_prefix);
  rec.put(120, 8, r.digits(8)).put(128, 8, "20" + issue_date(r)).put(136, 1, "0");
  rec.put(137, 8, "20" + issue_date(r)).put(145, 1, "0").put(146, 8, "20" + issue_date(r));
  rec.put(154, 1, flag(r, "YN")).put(155, 1, flag(r, "YN")).put(156, 1, flag(r, "YN"));
  rec.put(157, 8, "20" + issue_date(r));
  rec.put(165, 15, r.percent(50) ? std::string("CASH") : "CCVI" + r.digits(11));
  rec.put(180, 4, b.carrier.code).put(184, 1, "F").put(185, 1, "0").put(186, 1, "1");
  rec.put(187, 10, r.digits(10)).put(197, 10, r.digits(10)).put(207, 1, flag(r, "AB"));
  rec.put(222, 4, r.letters(4));
  for (int field = 226; field <= 232; field += 2) rec.put(field, 2, r.digits(2));
  rec.put(234, 10, r.digits(10)).put(244, 1, flag(r, "YN")).put(245, 200, tail_text(r));
  return rec.text();
}

std::string continuation_record(Booking& b, int) {
  static constexpr std::string_view kTags[] = {"CA", "PO", "LP", "IN", "NO", "CH"};
  auto& r = b.random;
  std::string text(r.pick(std::span<const std::string_view>(kTags)));
  text += ' ';
  text += remark_text(r, 10, 250);  // a few run past the 200 characters kept
  return text;
}

std::string segment_record(Booking& b, int i) {
  auto& r = b.random;
  const Segment& s = segment_for(b, i);
  FixedRecord rec("M3");
  rec.put(3, 2, padded(i + 1, 2)).put(5, 1, "A").put(6, 1, "1").put(7, 1, flag(r, "YN"));
  rec.put(8, 2, s.carrier->code).put(10, 5, s.flight).put(15, 3, "HK1").put(18, 1, "0");
  rec.put(19, 3, s.from->code).put(22, 17, s.from->city);
  rec.put(39, 3, s.to->code).put(42, 17, s.to->city);
  rec.put(59, 2, flag(r, "YBMHQKLFCJ") + " ").put(61, 5, s.date).put(66, 2, r.digits(2));
  rec.put(68, 5, clock_time(r)).put(73, 5, clock_time(r)).put(78, 8, "20" + issue_date(r));
  rec.put(86, 4, r.percent(50) ? "320" : "77W").put(90, 1, "N").put(91, 1, "0");
  rec.put(92, 1, flag(r, "MS"));
  if (r.percent(30)) rec.put(93, 18, "OPERATED BY " + std::string(any_carrier(r).code));
  rec.put(111, 2, "00").put(113, 3, r.letters(3)).put(116, 6, r.digits(6)).put(122, 6, r.digits(6));
  rec.put(128, 62, remark_text(r, 5, 62)).put(190, 5, r.digits(5)).put(195, 1, "E");
  rec.put(196, 37, remark_text(r, 5, 37)).put(233, 1, flag(r, "YN")).put(234, 14, r.digits(14));
  rec.put(248, 200, tail_text(r));
  return rec.text();
}

std::string fare_basis_record(Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec("M4");
  rec.put(3, 2, padded(i + 1, 2)).put(5, 3, "ADT").put(8, 1, "1").put(9, 1, flag(r, "YN"));
  rec.put(10, 5, r.digits(5)).put(15, 5, r.digits(5)).put(20, 2, r.letters(2));
  rec.put(22, 3, b.currency).put(25, 7, fare_amount(r, 10, 999)).put(32, 6, issue_date(r));
  rec.put(38, 2, r.digits(2)).put(40, 8, r.letters(6) + "EU").put(48, 1, flag(r, "YN"));
  rec.put(49, 12, r.digits(12)).put(61, 10, "20" + issue_date(r)).put(71, 200, tail_text(r));
  return rec.text();
}

// A number, a two-letter code and a text: M5, MB, MC and MD.
std::string coded_text_record(std::string_view tag, Booking& b, int i) {
  auto& r = b.random;
  FixedRecord rec(tag);
  rec.put(3, 2, padded(i + 1, 2)).put(5, 2, r.letters(2));
  std::string text = money(b, 5, 900);
  text += ' ';
  text += remark_text(r, 4, 190);
  return rec.put(7, 200, text).text();
}

std::string accounting_record(Booking& b, int i) {
  return coded_text_record("M5", b, i);
}
std::string mb_record(Booking& b, int i) {
  return coded_text_record("MB", b, i);
}
std::string mc_record(Booking& b, int i) {
  return coded_text_record("MC", b, i);
}
std::string md_record(Booking& b, int i) {
  return coded_text_record("MD", b, i);
}

std::string service_record(Booking& b, int) {
  auto& r = b.random;
  static constexpr std::string_view kServices[] = {"SSR", "OSI", "SVC", "TKT", "DOC"};
  FixedRecord rec("M6");
  rec.put(3, 3, r.pick(std::span<const std::string_view>(kServices))).put(6, 1, flag(r, "YN"));
  return rec.put(7, 200, tail_text(r)).text();
}

// A number and a text: M7, M8, M9 and ME.
std::string numbered_text_record(std::string_view tag, Booking& b, int i) {
  FixedRecord rec(tag);
  rec.put(3, 2, padded(i + 1, 2)).put(5, 200, remark_text(b.random, 3, 220));
  return rec.text();
}

std::string remark_record(Booking& b, int i) {
  return numbered_text_record("M7", b, i);
}
std::string m8_record(Booking& b, int i) {
  return numbered_text_record("M8", b, i);
}
std::string m9_record(Booking& b, int i) {
  return numbered_text_record("M9", b, i);
}
std::string me_record(Booking& b, int i) {
  return numbered_text_record("ME", b, i);
}

// The longest record: now and then it carries a text of several hundred
// characters and runs past position 1000.
std::string long_record(Booking& b, int) {
  auto& r = b.random;
  FixedRecord rec("MA");
  rec.put(3, 4, r.digits(4)).put(7, 10, r.digits(10)).put(17, 2, r.letters(2));
  rec.put(19, 11, r.digits(11)).put(30, 93, remark_text(r, 10, 93));
  rec.put(123, 49, remark_text(r, 5, 49)).put(172, 85, remark_text(r, 5, 85));
  if (r.percent(40)) {
    rec.put(257, 735, remark_text(r, 300, 735));
    rec.put(992, 200, remark_text(r, 10, 200));
  }
  return rec.text();
}

// In file order; the continuation lines are written after their M2 records.
enum Kind : std::size_t { kHeader, kM1, kM2, kContinuation, kM3 };
constexpr std::array<RecordKind, 16> kKinds = {{
    {1, 0, &header_record},
    {75, 6, &passenger_record},
    {50, 5, &fare_record},
    {50, 3, &continuation_record},  // capacity: one per M2 record
    {25, 8, &segment_record},
    {15, 2, &fare_basis_record},
    {75, 8, &accounting_record},
    {15, 2, &service_record},
    {50, 8, &remark_record},
    {15, 2, &m8_record},
    {15, 2, &m9_record},
    {10, 1, &long_record},
    {10, 2, &mb_record},
    {10, 2, &mc_record},
    {25, 3, &md_record},
    {50, 6, &me_record},
}};

// The first records past the header go one to each kind, the most common
// kinds first, so that every file of 16 records or more has every kind.
constexpr std::array<std::size_t, 15> kFirstOfEach = {1, 2, 4,  6,  8,  5,  15, 14,
                                                      7, 9, 10, 11, 12, 13, 3};

// A continuation line follows an M2 record: there are never more of them
// than of M2 records.
int room(std::span<const int> counts, std::size_t kind) {
  return kind == kContinuation ? counts[kM2] : kKinds[kind].capacity;
}

}  // namespace

std::string generate_pnr_file(const FileOptions& options, std::uint64_t seed) {
  SampleRandom random(seed);
  const int records = std::clamp(options.records, 1, kMostPnrRecords);
  const auto counts = plan_counts(random, records, kKinds, kFirstOfEach, &room);
  Booking booking = new_booking(random, counts[kM1]);
  const std::string_view end = line_end(options, "\r");

  std::string text;
  auto write = [&](std::size_t kind, int index) {
    text += kKinds[kind].make(booking, index);
    text += end;
  };
  // Which M2 records a continuation line follows: a random choice of
  // counts[kContinuation] of them (selection sampling keeps file order).
  int continuations_left = counts[kContinuation];
  for (std::size_t kind = 0; kind < kKinds.size(); ++kind) {
    if (kind == kContinuation) continue;
    for (int i = 0; i < counts[kind]; ++i) {
      write(kind, i);
      if (kind != kM2) continue;
      const int m2_left = counts[kM2] - i;
      if (random.below(static_cast<std::uint64_t>(m2_left)) <
          static_cast<std::uint64_t>(continuations_left)) {
        write(kContinuation, i);
        --continuations_left;
      }
    }
  }
  return text;
}

}  // namespace qx::generator
