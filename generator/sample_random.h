// The seeded random source behind every sample file. The same seed gives the
// same numbers on every platform and standard library (the standard
// distributions are not specified bit for bit, so none of them is used), which
// is what lets a test or a benchmark name a file by its seed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace qx::generator {

class SampleRandom {
 public:
  explicit SampleRandom(std::uint64_t seed) : state_(seed) {}

  std::uint64_t next();
  // Uniform in [0, n); n must be above 0.
  std::uint64_t below(std::uint64_t n) { return next() % n; }
  // Uniform in [low, high]; low must not be above high.
  int between(int low, int high) {
    return low + static_cast<int>(below(static_cast<std::uint64_t>(high - low) + 1));
  }
  // True with a chance of `chance` in 100.
  bool percent(int chance) { return below(100) < static_cast<std::uint64_t>(chance); }

  template <class T>
  const T& pick(std::span<const T> items) {
    return items[below(items.size())];
  }

  // `count` decimal digits, leading zeros allowed.
  std::string digits(int count);
  // `count` upper-case letters A to Z.
  std::string letters(int count);

 private:
  std::uint64_t state_;
};

// The parts joined. Text with more than one random draw is built through this
// braced list, whose elements are evaluated left to right; the operands of a
// chain of + are not sequenced, so the draws could come in another order on
// another compiler and the same seed would give other bytes.
std::string in_order(std::initializer_list<std::string_view> parts);

// A seed for stream `stream` of `seed` (the file with that number, say),
// unrelated to the seeds of its neighbours.
std::uint64_t mix_seed(std::uint64_t seed, std::uint64_t stream);

}  // namespace qx::generator
