#include "generator/sample_random.h"

namespace qx::generator {

// splitmix64: small, fast, and fully defined by its constants.
std::uint64_t SampleRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string SampleRandom::digits(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += static_cast<char>('0' + below(10));
  return text;
}

std::string SampleRandom::letters(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += static_cast<char>('A' + below(26));
  return text;
}

std::string in_order(std::initializer_list<std::string_view> parts) {
  std::string text;
  for (auto part : parts) text += part;
  return text;
}

std::uint64_t mix_seed(std::uint64_t seed, std::uint64_t stream) {
  SampleRandom random(seed ^ (stream * 0xD1B54A32D192ED03ull));
  random.next();
  return random.next();
}

}  // namespace qx::generator
