// Reading interface files as the loaders' original platform did in text
// mode, on every platform: a byte 26 ends the file, and (where asked) a
// carriage return followed by a line feed reads as a line feed. Files are
// single-byte text; positions and lengths count bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qx::driver {

// Cuts `contents` at its first byte 26.
void end_at_ctrl_z(std::string& contents);

// Replaces every carriage return that is followed by a line feed with
// nothing, so the pair reads as one line feed.
void fold_crlf(std::string& contents);

// Splits text at line feeds. Only a real line end is removed: a last line
// without one keeps all its characters, and text that ends with a line feed
// has no empty line after it. An empty text has no lines.
std::vector<std::string_view> split_at_line_feeds(std::string_view text);

// Splits text into the records of a PNR or MIR file. A record ends at a
// carriage return, or at a carriage return and line feed pair taken as one
// end; a line feed alone is record content. A last record without an end
// is kept when it is not empty, and text that ends with a record end has no
// empty record after it. An empty text has no records.
std::vector<std::string_view> split_at_carriage_returns(std::string_view text);

// Replaces every NUL byte of `text` with a blank, so every position stays
// where it is. Returns the 1-based numbers of the lines (ended by
// `line_end`) that held one, each once.
std::vector<std::size_t> blank_nul_bytes(std::string& text, char line_end);

}  // namespace qx::driver
