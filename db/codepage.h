// The interface files are single-byte text in the Windows-1252 code page;
// the databases hold UTF-8. Conversion happens once, when a value is bound.
#pragma once

#include <string>
#include <string_view>

namespace qx::db {

bool is_ascii(std::string_view text);

// Appends `text`, read as Windows-1252, to `out` as UTF-8. A byte the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) becomes the code point
// of the same number.
void append_cp1252_as_utf8(std::string_view text, std::string& out);

std::string cp1252_to_utf8(std::string_view text);

}  // namespace qx::db
