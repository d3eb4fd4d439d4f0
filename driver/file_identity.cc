#include "driver/file_identity.h"

// The SHA256_* functions are marked deprecated in favour of the EVP
// interface since OpenSSL 3.0, and are kept in it; see sha256_hex.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <array>
#include <stdexcept>

namespace qx::driver {

std::string sha256_hex(std::string_view bytes) {
  // The one-call functions of the hash itself, not the algorithm-neutral
  // interface: that one looks the algorithm up and sets up a context for
  // every call, which cost more than hashing a typical file (measured at
  // 11.7 µs against 4.3 µs for 5 KB read just before).
  std::array<unsigned char, SHA256_DIGEST_LENGTH> digest{};
  SHA256_CTX context;
  if (SHA256_Init(&context) != 1 || SHA256_Update(&context, bytes.data(), bytes.size()) != 1 ||
      SHA256_Final(digest.data(), &context) != 1) {
    throw std::runtime_error("SHA-256 digest failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * digest.size());
  for (const unsigned char byte : digest) {
    hex += kHex[byte >> 4];
    hex += kHex[byte & 0x0f];
  }
  return hex;
}

FileIdentity identify_file(std::string_view name, std::string_view bytes,
                           std::chrono::system_clock::time_point modified) {
  FileIdentity identity;
  identity.name = name;
  identity.size = static_cast<std::int64_t>(bytes.size());
  identity.modified_ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(modified.time_since_epoch()).count();
  identity.digest = sha256_hex(bytes);
  return identity;
}

std::int64_t FileIdentity::lock_number() const {
  // FNV-1a of the name, so that two files with the same bytes under other
  // names do not wait for each other.
  std::uint64_t number = 14695981039346656037ull;
  for (const char c : name) number = (number ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  for (std::size_t i = 0; i < 16 && i < digest.size(); ++i) {
    const char c = digest[i];
    number ^= static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10) << (60 - 4 * i);
  }
  return static_cast<std::int64_t>(number);
}

}  // namespace qx::driver
