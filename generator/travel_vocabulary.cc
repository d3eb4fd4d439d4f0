#include "generator/travel_vocabulary.h"

#include <array>

namespace qx::generator {
namespace {

constexpr std::array<Airport, 24> kAirports = {{
    {"FRA", "FRANKFURT"},
    {"MUC", "M\xDCNCHEN"},
    {"HAM", "HAMBURG"},
    {"DUS", "D\xDCSSELDORF"},
    {"ZRH", "Z\xDCRICH"},
    {"VIE", "WIEN"},
    {"CPH",
     "K\xD8"
     "BENHAVN"},
    {"GOT", "G\xD6TEBORG"},
    {"LHR", "LONDON HEATHROW"},
    {"CDG", "PARIS CDG"},
    {"AMS", "AMSTERDAM"},
    {"MAD", "MADRID"},
    {"BCN", "BARCELONA"},
    {"FCO", "ROMA FIUMICINO"},
    {"JFK", "NEW YORK JFK"},
    {"ORD", "CHICAGO O'HARE"},
    {"DXB", "DUBAI"},
    {"SIN", "SINGAPORE"},
    {"BKK", "BANGKOK"},
    {"NRT", "TOKYO NARITA"},
    {"GRU", "S\xC3O PAULO"},
    {"IST", "ISTANBUL"},
    {"ATH", "ATHINAI"},
    {"LIS", "LISBOA"},
}};

constexpr std::array<Carrier, 12> kCarriers = {{
    {"LH", "LUFTHANSA", "220"},
    {"BA", "BRITISH AIRWAYS", "125"},
    {"AF", "AIR FRANCE", "057"},
    {"KL", "KLM", "074"},
    {"LX", "SWISS", "724"},
    {"OS", "AUSTRIAN", "257"},
    {"SK", "SAS", "117"},
    {"IB", "IBERIA", "075"},
    {"AZ", "ITA AIRWAYS", "055"},
    {"EK", "EMIRATES", "176"},
    {"SQ", "SINGAPORE AIRLINES", "618"},
    {"TK", "TURKISH AIRLINES", "235"},
}};

constexpr std::array<std::string_view, 8> kCurrencies = {"EUR", "USD", "GBP", "CHF",
                                                         "DKK", "SEK", "NOK", "JPY"};

constexpr std::array<std::string_view, 20> kSurnames = {"M\xDCLLER",
                                                        "SCHMIDT",
                                                        "SCHNEIDER",
                                                        "FISCHER",
                                                        "WEBER",
                                                        "BECKER",
                                                        "SCH\xD6N",
                                                        "J\xD6RGENSEN",
                                                        "HANSEN",
                                                        "GARC\xCD"
                                                        "A",
                                                        "L\xD3PEZ",
                                                        "DUBOIS",
                                                        "BR\xC4NDLE",
                                                        "SMITH",
                                                        "JOHNSON",
                                                        "ROSSI",
                                                        "NOWAK",
                                                        "O'NEILL",
                                                        "KRA\xDF",
                                                        "FRAN\xC7OIS"};

constexpr std::array<std::string_view, 16> kFirstNames = {
    "HANS",   "ANNA",  "J\xDCRGEN", "MARIA", "PETER", "S\xD8REN", "CLAIRE", "JOS\xC9",
    "THOMAS", "SARAH", "BJ\xD6RN",  "LUCA",  "EMMA",  "MICHAEL",  "ZO\xCB", "OLIVER"};

constexpr std::array<std::string_view, 6> kTitles = {"MR", "MRS", "MS", "DR", "MSTR", "MISS"};

constexpr std::array<std::string_view, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

constexpr std::array<std::string_view, 32> kRemarkWords = {"PLS",
                                                           "ADV",
                                                           "TKT",
                                                           "ISSUED",
                                                           "CUSTOMER",
                                                           "REQUESTS",
                                                           "AISLE",
                                                           "WINDOW",
                                                           "SEAT",
                                                           "VEGML",
                                                           "WCHR",
                                                           "PAID",
                                                           "BY",
                                                           "INVOICE",
                                                           "COST",
                                                           "CENTRE",
                                                           "PROJECT",
                                                           "RECONFIRM",
                                                           "TIME",
                                                           "LIMIT",
                                                           "HOTEL",
                                                           "TRANSFER",
                                                           "GR\xDC\xDF"
                                                           "E",
                                                           "FR\xDC"
                                                           "H",
                                                           "ANK\xDCNFT",
                                                           "OK",
                                                           "NIL",
                                                           "CTC",
                                                           "VIA",
                                                           "AGENT",
                                                           "NOTED",
                                                           "REF"};

std::string two_digits(int value) {
  return std::string(1, static_cast<char>('0' + value / 10)) + static_cast<char>('0' + value % 10);
}

}  // namespace

const Airport& any_airport(SampleRandom& random) {
  return random.pick(std::span<const Airport>(kAirports));
}

const Airport& other_airport(SampleRandom& random, const Airport& from) {
  const Airport* to = &any_airport(random);
  while (to->code == from.code) to = &any_airport(random);
  return *to;
}

const Carrier& any_carrier(SampleRandom& random) {
  return random.pick(std::span<const Carrier>(kCarriers));
}

std::string_view any_currency(SampleRandom& random) {
  return random.pick(std::span<const std::string_view>(kCurrencies));
}

std::string passenger_name(SampleRandom& random) {
  std::string name(random.pick(std::span<const std::string_view>(kSurnames)));
  name += '/';
  name += random.pick(std::span<const std::string_view>(kFirstNames));
  name += ' ';
  name += random.pick(std::span<const std::string_view>(kTitles));
  return name;
}

std::string travel_date(SampleRandom& random) {
  return in_order(
      {two_digits(random.between(1, 28)), random.pick(std::span<const std::string_view>(kMonths))});
}

std::string issue_date(SampleRandom& random) {
  return in_order({two_digits(random.between(20, 29)), two_digits(random.between(1, 12)),
                   two_digits(random.between(1, 28))});
}

std::string clock_time(SampleRandom& random) {
  return in_order({two_digits(random.between(0, 23)), two_digits(random.between(0, 11) * 5)});
}

std::string fare_amount(SampleRandom& random, int low, int high) {
  return in_order(
      {std::to_string(random.between(low, high)), ".", two_digits(random.between(0, 99))});
}

std::string ticket_serial(SampleRandom& random) {
  return random.digits(10);
}

std::string phone_number(SampleRandom& random) {
  return in_order({"+", std::to_string(random.between(1, 49)), " ", random.digits(2), " ",
                   random.digits(random.between(6, 8))});
}

std::string remark_text(SampleRandom& random, int low, int high) {
  const auto length = static_cast<std::size_t>(random.between(low, high));
  std::string text;
  while (text.size() < length) {
    if (!text.empty()) text += ' ';
    text += random.pick(std::span<const std::string_view>(kRemarkWords));
  }
  text.resize(length);
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text.empty() ? std::string("OK") : text;
}

}  // namespace qx::generator
