#include "driver/file_identity.h"

#include <openssl/evp.h>

#include <array>
#include <stdexcept>

namespace qx::driver {

std::string sha256_hex(std::string_view bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) != 1) {
    // Only an allocation failure inside the library gets here.
    throw std::runtime_error("SHA-256 digest failed");
  }
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(2 * length);
  for (unsigned int i = 0; i < length; ++i) {
    hex += kHex[digest[i] >> 4];
    hex += kHex[digest[i] & 0x0f];
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
