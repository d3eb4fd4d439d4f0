// One booking as every sample format writes it: a carrier, a currency, a
// record locator, passengers and the segments of a journey, drawn once so
// that all the lines or records of the booking agree with one another.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "generator/sample_random.h"
#include "generator/travel_vocabulary.h"

namespace qx::generator {

struct Segment {
  const Airport* from;
  const Airport* to;
  const Carrier* carrier;
  std::string flight;
  std::string date;
};

struct Booking {
  SampleRandom& random;  // every draw for the booking's lines
  const Carrier& carrier;
  std::string_view currency;
  std::string locator;
  std::vector<std::string> passengers;
  std::vector<Segment> segments;
};

// A booking's carrier, currency and locator, drawn in that order; no
// passengers or segments yet.
Booking open_booking(SampleRandom& random);

// Adds `passengers` passenger names (at least one), then one to four
// segments, each leaving from where the one before arrived and flown by the
// booking's carrier seven times in ten.
void fill_booking(Booking& booking, int passengers);

// open_booking, then fill_booking.
Booking new_booking(SampleRandom& random, int passengers);

// The segment a record numbered `index` of a kind talks about: the segments
// in turn.
const Segment& segment_for(const Booking& booking, int index);

}  // namespace qx::generator
