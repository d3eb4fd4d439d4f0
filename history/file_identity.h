// What makes a file the same file for the load history: its name, size,
// modification time and a digest of its bytes. A file dropped again later
// under the same name has a new modification time and is a new file; a file
// whose bytes changed is a new file whatever its time says.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace qx::history {

struct [[nodiscard]] FileIdentity {
  std::string name;  // the name alone, as the directory holds it
  std::int64_t size = 0;
  std::int64_t modified_ns = 0;  // nanoseconds since the epoch
  // file_digest() of the bytes; or, for a file whose history row was written
  // under the earlier digest, that row's earlier_file_digest().
  std::string digest;

  // A 64-bit number named by the file's name, size and modification time,
  // for locks that are named by a number: the same file always gives the
  // same number, whichever digest its row was written under.
  std::int64_t lock_number() const;
};

// The identity of `bytes`, read from a file named `name` that was last
// modified at `modified`.
FileIdentity identify_file(std::string_view name, std::string_view bytes,
                           std::chrono::system_clock::time_point modified);

// The digest of `bytes` in the history: their 128-bit XXH3 hash as 32
// lower-case hex digits.
std::string file_digest(std::string_view bytes);

// The digest history rows were written under before, SHA-256 as 64
// lower-case hex digits: a row with one still names its file, so that a
// file loaded, or an AIR file loaded part-way, before the change is
// recognised after it (kEarlierDigestLength tells the two apart).
std::string earlier_file_digest(std::string_view bytes);
inline constexpr std::size_t kEarlierDigestLength = 64;

}  // namespace qx::history
