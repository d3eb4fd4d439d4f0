// What makes a file the same file for the load history: its name, size,
// modification time and a digest of its bytes. A file dropped again later
// under the same name has a new modification time and is a new file; a file
// whose bytes changed is a new file whatever its time says.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::driver {

struct FileIdentity {
  std::string name;  // the name alone, as the directory holds it
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;  // nanoseconds since the epoch
  std::string digest;            // 64 lower-case hex digits of SHA-256

  // A 64-bit number taken from the digest, for locks that are named by a
  // number (the same file always gives the same number).
  std::int64_t lock_number() const;
};

// The identity of `bytes`, read from a file named `name` that was last
// modified at `modified`.
FileIdentity identify_file(std::string_view name, std::string_view bytes,
                           std::chrono::system_clock::time_point modified);

// SHA-256 of `bytes` as 64 lower-case hex digits.
std::string sha256_hex(std::string_view bytes);

}  // namespace qx::driver
