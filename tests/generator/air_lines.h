// Reading generated AIR text back in the tests: lines at their line ends, and
// fields at ';' as a loader splits them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qx::testing {

// The lines of `text`, each without its line end `end`; text must end with it.
std::vector<std::string> split_lines(std::string_view text, std::string_view end);
// The ';'-separated fields of a line, as written (a trailing ';' gives a last
// empty field).
std::vector<std::string> split_fields(std::string_view line);

}  // namespace qx::testing
