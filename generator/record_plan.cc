#include "generator/record_plan.h"

#include <cstdint>

namespace qx::generator {

std::vector<int> plan_counts(SampleRandom& random, int records, std::span<const RecordKind> kinds,
                             std::span<const std::size_t> first_of_each, RoomRule room) {
  std::vector<int> counts(kinds.size(), 0);
  auto has_room = [&](std::size_t kind) {
    return counts[kind] < (room != nullptr ? room(counts, kind) : kinds[kind].capacity);
  };
  counts[0] = 1;
  int left = records - 1;
  for (std::size_t kind : first_of_each) {
    if (left == 0) break;
    ++counts[kind];
    --left;
  }
  while (left > 0) {
    int total = 0;
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (has_room(k)) total += kinds[k].weight;
    }
    int roll = static_cast<int>(random.below(static_cast<std::uint64_t>(total)));
    for (std::size_t k = 0; k < kinds.size(); ++k) {
      if (!has_room(k)) continue;
      if (roll < kinds[k].weight) {
        ++counts[k];
        --left;
        break;
      }
      roll -= kinds[k].weight;
    }
  }
  return counts;
}

}  // namespace qx::generator
