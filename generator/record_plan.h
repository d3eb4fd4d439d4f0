// The plan of a sample file made of fixed-position records of several
// kinds (PNR, MIR): how many records of each kind it holds, so that small
// files still show every kind and no kind passes what one file may hold.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "generator/sample_booking.h"
#include "generator/sample_random.h"

namespace qx::generator {

// Makes the record numbered `index` (from 0) of its kind.
using RecordMaker = std::string (*)(Booking& booking, int index);

struct RecordKind {
  int capacity;  // the most records of the kind one file holds
  int weight;    // how often it comes among the records past the first of each
  RecordMaker make;
};

// How many records of `kind` the file may hold, given the counts so far.
using RoomRule = int (*)(std::span<const int> counts, std::size_t kind);

// The count of each kind in a file of `records` records (at least 1): one
// of kind 0, the header; then one each of `first_of_each`, in that order,
// while records are left; then the rest drawn by weight among the kinds
// that have room. Room is the kind's capacity unless `room` says otherwise.
std::vector<int> plan_counts(SampleRandom& random, int records, std::span<const RecordKind> kinds,
                             std::span<const std::size_t> first_of_each, RoomRule room = nullptr);

}  // namespace qx::generator
