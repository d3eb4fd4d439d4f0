#include "generator/air_sample.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "generator/sample_booking.h"
#include "generator/sample_fields.h"
#include "generator/sample_random.h"
#include "generator/travel_vocabulary.h"

namespace qx::generator {
namespace {

// A booking and how many lines of the numbered kinds it has written so far.
struct AirBooking : Booking {
  int h_lines = 0;
  int u_lines = 0;
  int i_lines = 0;
};

using Fields = std::vector<std::string>;
using FieldMaker = Fields (*)(AirBooking&, std::string_view tag);

// Mostly short remarks, now and then one of several hundred characters.
std::string free_text(SampleRandom& random) {
  return random.percent(5) ? remark_text(random, 200, 1200) : remark_text(random, 4, 60);
}

const Segment& any_segment(AirBooking& b) {
  return b.segments[b.random.below(b.segments.size())];
}

Fields header_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  return {std::string(tag) + r.digits(10),
          "1/1",
          "",
          padded(r.between(1, 99), 2),
          std::string(b.carrier.code) + " " + std::string(b.carrier.ticket_prefix),
          "FRAL" + r.digits(5),
          in_order({r.digits(4), r.letters(2)}),
          b.locator,
          issue_date(r),
          "MUC1A " + b.locator + r.digits(3),
          in_order({issue_date(r), clock_time(r)}),
          std::string(b.currency)};
}

Fields airline_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  if (tag == "AITA") return {"AITAN" + r.digits(8), std::string(b.carrier.code), issue_date(r)};
  return {"A-" + std::string(b.carrier.name),
          std::string(b.carrier.code) + " " + std::string(b.carrier.ticket_prefix), "",
          issue_date(r)};
}

Fields routing_fields(AirBooking& b, std::string_view) {
  static constexpr std::string_view kKinds[] = {"TTP/RT", "TTP/INV", "BT", "TTP/ET/RT"};
  return {"B-" + std::string(b.random.pick(std::span<const std::string_view>(kKinds)))};
}

Fields agent_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  const std::string agent = in_order({r.digits(4), r.letters(2), "SU"});
  return {in_order({"C-", r.digits(4), "/ ", agent, "-", agent, "-M-"})};
}

Fields date_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  return {"D-" + issue_date(r), issue_date(r), issue_date(r)};
}

Fields origin_fields(AirBooking& b, std::string_view) {
  const Segment& first = b.segments.front();
  return {"G-X  ", "", std::string(first.from->code) + std::string(b.segments.back().to->code)};
}

Fields segment_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  const Segment& s = b.segments[b.h_lines % b.segments.size()];
  ++b.h_lines;
  const char booking_class = "YBMHQKLFCJ"[r.below(10)];
  const std::string departs = clock_time(r);
  return {"H-" + padded(b.h_lines, 3),
          padded(b.h_lines + 1, 3) + "O" + std::string(s.from->code),
          std::string(s.from->city),
          std::string(s.to->code),
          std::string(s.to->city),
          std::string(s.carrier->code) + " " + s.flight + " " + booking_class + " " +
              booking_class + " " + s.date + departs + " " + clock_time(r) + " " + s.date,
          "OK01",
          "HK01",
          r.percent(50) ? "M" : "S",
          "0",
          r.percent(50) ? "320" : "77W",
          "",
          "",
          std::to_string(r.between(150, 6500)),
          "ET",
          padded(r.between(0, 14), 2) + padded(r.between(0, 59), 2),
          "N",
          std::to_string(r.between(100, 9000)),
          std::string(s.from->code) + std::string(s.to->code)};
}

Fields auxiliary_fields(AirBooking& b, std::string_view) {
  static constexpr std::string_view kServices[] = {"HHL", "CAR", "ATX", "MIS", "SUR"};
  auto& r = b.random;
  const Segment& s = any_segment(b);
  ++b.u_lines;
  return {"U-" + std::string(r.pick(std::span<const std::string_view>(kServices))),
          padded(b.u_lines, 3) + "X" + std::string(s.to->code),
          std::string(s.to->city),
          "HK" + padded(r.between(1, 3), 2),
          s.date,
          travel_date(r),
          std::string(b.currency) + fare_amount(r, 40, 900),
          free_text(r)};
}

Fields fare_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  const std::string currency(b.currency);
  Fields fields = {std::string(tag) + "F" + currency + fare_amount(r, 80, 4800),
                   currency + fare_amount(r, 80, 4800), "", ""};
  const int taxes = r.between(1, 6);
  for (int i = 0; i < taxes; ++i)
    fields.push_back(in_order({fare_amount(r, 1, 180), r.letters(2)}));
  fields.push_back(currency + fare_amount(r, 100, 5200));
  return fields;
}

Fields limit_fields(AirBooking& b, std::string_view) {
  return {in_order({"L-", b.random.letters(1), travel_date(b.random)})};
}

Fields fare_basis_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  Fields fields = {std::string(tag) + r.letters(3) + "EU"};
  for (std::size_t i = 1; i < b.segments.size(); ++i) fields.push_back(r.letters(3) + "EU");
  return fields;
}

Fields validity_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  return {in_order({"O-", travel_date(r), travel_date(r)}),
          in_order({travel_date(r), travel_date(r)}), "", "LD"};
}

Fields fare_calculation_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  std::string text(b.segments.front().from->code);
  for (const auto& s : b.segments) {
    text += in_order({" ", s.carrier->code, " ", s.to->code, " ", fare_amount(r, 50, 2000)});
  }
  return {in_order({"Q-", text, "NUC", fare_amount(r, 100, 4000), "END ROE0.", r.digits(6)})};
}

Fields remark_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  Fields fields = {std::string(tag) + (tag == "RM" ? "*" : "R ") + free_text(r)};
  const int more = r.between(0, 3);
  for (int i = 0; i < more; ++i) fields.push_back(free_text(r));
  return fields;
}

Fields passenger_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  const std::string& name = b.passengers[b.i_lines % b.passengers.size()];
  ++b.i_lines;
  return {"I-" + padded(b.i_lines, 3),
          padded(b.i_lines, 2) + name,
          "",
          "APH " + phone_number(r),
          "",
          r.percent(30) ? "APE " + r.letters(6) + "@EXAMPLE.COM" : ""};
}

Fields seat_fields(AirBooking& b, std::string_view) {
  auto& r = b.random;
  return {"S-" + padded(r.between(1, 4), 3), in_order({padded(r.between(1, 45), 2), r.letters(1)})};
}

Fields ticket_fields(AirBooking& b, std::string_view) {
  return {"T-K" + std::string(b.carrier.ticket_prefix) + "-" + ticket_serial(b.random)};
}

Fields validating_fields(AirBooking& b, std::string_view) {
  return {"V-" + std::string(b.carrier.code)};
}

Fields payment_fields(AirBooking& b, std::string_view tag) {
  auto& r = b.random;
  std::string text;
  if (tag == "FM") text = "*M*" + std::to_string(r.between(0, 9));
  if (tag == "FP")
    text = r.percent(50) ? "CASH" : in_order({"CCVI4", r.digits(15), "/", r.digits(4)});
  if (tag == "FT") text = in_order({"PAX ", r.letters(2), r.digits(6)});
  if (tag == "FV") text = "PAX " + std::string(b.carrier.code);
  if (tag == "FE") text = "PAX NONREF/NON END";
  if (tag == "FH") text = "PAX 0" + r.digits(13);
  return {std::string(tag) + text, "", "P" + std::to_string(r.between(1, 4))};
}

Fields end_fields(AirBooking& b, std::string_view) {
  return {b.random.percent(80) ? "END" : "ENDX"};
}

Fields second_header_fields(AirBooking& b, std::string_view) {
  return {"AMDP" + b.random.digits(10), "1/1"};
}

// Tags that no loader handles: lower-case, one character, or unknown kinds.
Fields unhandled_fields(AirBooking& b, std::string_view tag) {
  if (b.random.percent(10)) return {""};  // an empty line
  return {std::string(tag) + remark_text(b.random, 3, 40), remark_text(b.random, 3, 20)};
}

struct AirKind {
  std::vector<std::string_view> tags;  // the first is the most common
  int columns;                         // text columns the widest build stores for it
  int min_fields;                      // fewer would lose a field the loaders read
  int weight;                          // how often it comes among a booking's lines
  int position;                        // where in a booking it comes
  FieldMaker fields;
};

// Indexes into kKinds for the lines a booking always has.
enum : std::size_t { kHeaderKind = 0, kEndKind = 1, kSegmentKind = 2, kPassengerKind = 3 };

const std::vector<AirKind>& air_kinds() {
  static const std::vector<AirKind> kinds = {
      {{"AMD ", "AMDR"}, 12, 1, 0, 0, &header_fields},
      {{"EN"}, 1, 1, 0, 99, &end_fields},
      {{"H-"}, 21, 2, 12, 7, &segment_fields},
      {{"I-"}, 6, 2, 6, 14, &passenger_fields},
      {{"AM"}, 12, 1, 1, 1, &second_header_fields},
      {{"A-", "AITA"}, 11, 1, 4, 2, &airline_fields},
      {{"B-"}, 1, 1, 3, 3, &routing_fields},
      {{"C-"}, 1, 1, 3, 4, &agent_fields},
      {{"D-"}, 3, 1, 3, 5, &date_fields},
      {{"G-"}, 3, 1, 2, 6, &origin_fields},
      {{"U-"}, 21, 2, 4, 8, &auxiliary_fields},
      {{"K-", "KF", "KN", "KS", "TSA-"}, 44, 1, 5, 9, &fare_fields},
      {{"L-"}, 1, 1, 2, 10, &limit_fields},
      {{"M-", "MU"}, 33, 1, 4, 11, &fare_basis_fields},
      {{"O-"}, 4, 1, 2, 12, &validity_fields},
      {{"Q-"}, 1, 1, 2, 13, &fare_calculation_fields},
      {{"T-"}, 1, 1, 4, 15, &ticket_fields},
      {{"S-"}, 2, 1, 2, 16, &seat_fields},
      {{"RM", "RI"}, 11, 1, 8, 17, &remark_fields},
      {{"V-"}, 1, 1, 2, 18, &validating_fields},
      {{"FM", "FP", "FT", "FV", "FE", "FH"}, 3, 1, 8, 19, &payment_fields},
      {{"X-", "ZZ", "SSR", "a-", "k-", "Z", "TK"}, 2, 1, 2, 16, &unhandled_fields},
  };
  return kinds;
}

std::string_view pick_tag(SampleRandom& random, const AirKind& kind) {
  if (kind.tags.size() == 1 || random.percent(60)) return kind.tags.front();
  return kind.tags[1 + random.below(kind.tags.size() - 1)];
}

std::size_t pick_body_kind(SampleRandom& random) {
  const auto& kinds = air_kinds();
  int total = 0;
  for (const auto& kind : kinds) total += kind.weight;
  int roll = static_cast<int>(random.below(static_cast<std::uint64_t>(total)));
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    if (roll < kinds[i].weight) return i;
    roll -= kinds[i].weight;
  }
  return kSegmentKind;
}

// Mostly up to the stored columns, sometimes fewer, sometimes more than are
// stored, so that both kinds of mismatch reach the loaders.
int field_count(SampleRandom& random, const AirKind& kind) {
  const int roll = random.between(0, 99);
  if (roll < 15) return random.between(kind.min_fields, kind.columns);
  if (roll < 30) return random.between(kind.columns + 1, kind.columns + 4);
  return random.between(std::max(kind.min_fields, kind.columns - kind.columns / 3), kind.columns);
}

std::string filler(SampleRandom& random) {
  switch (random.below(4)) {
    case 0:
      return "";
    case 1:
      return random.letters(random.between(1, 3));
    case 2:
      return random.digits(random.between(1, 4));
    default:
      return remark_text(random, 3, 20);
  }
}

std::string air_line(AirBooking& b, const AirKind& kind) {
  auto& r = b.random;
  Fields fields = kind.fields(b, pick_tag(r, kind));
  if (fields.size() == 1 && fields[0].empty()) return "";
  const auto count = static_cast<std::size_t>(field_count(r, kind));
  while (fields.size() < count) fields.push_back(filler(r));
  fields.resize(count);
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) line += ';';
    const bool may_blank = i >= static_cast<std::size_t>(kind.min_fields);
    if (!(may_blank && r.percent(8))) line += fields[i];
  }
  return line;
}

// One to four passengers, drawn after the booking's carrier, currency and
// locator.
AirBooking new_air_booking(SampleRandom& random) {
  AirBooking b{open_booking(random)};
  fill_booking(b, random.between(1, 4));
  return b;
}

// The kinds of a booking's lines, in file order: its header, its body kinds
// in booking order, and usually an end line.
std::vector<std::size_t> booking_plan(SampleRandom& random, int lines) {
  std::vector<std::size_t> body;
  const bool closed = lines >= 3 && random.percent(85);
  const int body_lines = lines - 1 - (closed ? 1 : 0);
  if (body_lines >= 4) body = {kSegmentKind, kPassengerKind};
  while (static_cast<int>(body.size()) < body_lines) body.push_back(pick_body_kind(random));
  const auto& kinds = air_kinds();
  std::stable_sort(body.begin(), body.end(), [&](std::size_t a, std::size_t b) {
    return kinds[a].position < kinds[b].position;
  });
  std::vector<std::size_t> plan = {kHeaderKind};
  plan.insert(plan.end(), body.begin(), body.end());
  if (closed) plan.push_back(kEndKind);
  return plan;
}

}  // namespace

std::string generate_air_file(const FileOptions& options, std::uint64_t seed) {
  SampleRandom random(seed);
  const int bookings = std::max(1, options.bookings);
  const int records = std::max(options.records, bookings);
  const std::string_view end = line_end(options, "\n");
  std::string text;
  for (int n = 0; n < bookings; ++n) {
    const int lines = records / bookings + (n < records % bookings ? 1 : 0);
    AirBooking booking = new_air_booking(random);
    for (std::size_t kind : booking_plan(random, lines)) {
      text += air_line(booking, air_kinds()[kind]);
      text += end;
    }
  }
  return text;
}

}  // namespace qx::generator
