// The words of a travel booking, for every sample format: passengers,
// airports, carriers, currencies, dates, times, fares, ticket numbers and
// remark text. Texts are single-byte Windows-1252, as the agencies' files
// are; some names carry letters above 127 (an umlaut is byte 0xDC), so the
// loaders' code-page handling is exercised by ordinary samples.
#pragma once

#include <string>
#include <string_view>

#include "generator/sample_random.h"

namespace qx::generator {

struct Airport {
  std::string_view code;  // three letters
  std::string_view city;  // upper case, Windows-1252
};

struct Carrier {
  std::string_view code;  // two characters
  std::string_view name;
  std::string_view ticket_prefix;  // three digits
};

const Airport& any_airport(SampleRandom& random);
// An airport other than `from`.
const Airport& other_airport(SampleRandom& random, const Airport& from);
const Carrier& any_carrier(SampleRandom& random);
std::string_view any_currency(SampleRandom& random);

// "SURNAME/FIRSTNAME MR" and the like.
std::string passenger_name(SampleRandom& random);
// "15SEP": a day and a month.
std::string travel_date(SampleRandom& random);
// "230915": year, month and day.
std::string issue_date(SampleRandom& random);
// "0715": hours and minutes.
std::string clock_time(SampleRandom& random);
// "1234.50": an amount between `low` and `high` units, with cents.
std::string fare_amount(SampleRandom& random, int low, int high);
// Ten digits, as after a carrier's ticket prefix.
std::string ticket_serial(SampleRandom& random);
// "+49 40 1234567"
std::string phone_number(SampleRandom& random);
// Words of free text, as agents type them, of `low` to `high` characters.
std::string remark_text(SampleRandom& random, int low, int high);

}  // namespace qx::generator
