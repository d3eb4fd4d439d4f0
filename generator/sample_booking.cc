#include "generator/sample_booking.h"

#include <algorithm>

namespace qx::generator {

Booking open_booking(SampleRandom& random) {
  // The braced list draws left to right.
  return Booking{random, any_carrier(random), any_currency(random), random.letters(6), {}, {}};
}

void fill_booking(Booking& b, int passengers) {
  SampleRandom& random = b.random;
  for (int i = 0; i < std::max(1, passengers); ++i) b.passengers.push_back(passenger_name(random));
  const Airport* from = &any_airport(random);
  const int segments = random.between(1, 4);
  for (int i = 0; i < segments; ++i) {
    const Airport* to = &other_airport(random, *from);
    const Carrier* carrier = random.percent(70) ? &b.carrier : &any_carrier(random);
    b.segments.push_back({from, to, carrier, random.digits(4), travel_date(random)});
    from = to;
  }
}

Booking new_booking(SampleRandom& random, int passengers) {
  Booking booking = open_booking(random);
  fill_booking(booking, passengers);
  return booking;
}

const Segment& segment_for(const Booking& b, int index) {
  return b.segments[static_cast<std::size_t>(index) % b.segments.size()];
}

}  // namespace qx::generator
