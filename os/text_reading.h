// Reading interface files as the loaders' original platform did in text
// mode, on every platform: a byte 26 ends the file, and (where asked) a
// carriage return followed by a line feed reads as a line feed. Files are
// single-byte text; positions and lengths count bytes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace qx::os {

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

// What one line read of a file opened in text mode returns: `line`, the
// characters read, and `consumed`, how many bytes of the file they took (a
// carriage return and line feed pair is two bytes read as one line feed).
struct TextModeLine {
  std::string line;
  std::size_t consumed = 0;
};

// One line read in text mode from the start of `contents`: at most `limit`
// characters, stopping early only after a line feed (which the line keeps)
// or at the end of the text. A carriage return followed by a line feed reads
// as that line feed; any other carriage return is an ordinary character and
// does not stop the read. Used for the MIR header, which is the first 342
// characters of the file whatever records they cross.
TextModeLine read_text_mode_line(std::string_view contents, std::size_t limit);

// Replaces every NUL byte of `text` with a blank, so every position stays
// where it is. Returns the 1-based numbers of the lines (ended by
// `line_end`) that held one, each once.
std::vector<std::size_t> blank_nul_bytes(std::string& text, char line_end);

}  // namespace qx::os
