// File names as the console shows them. A name is whatever bytes its
// directory holds, and whoever may drop files may choose them: a line end
// or another control character printed as it stands would end a console
// line early and let the rest of the name pass for a line of the loader's
// own. The console therefore shows control characters as escapes; every
// other byte, and the names used to open, move and store files, stay as
// they are. (The event log escapes names the JSON way, json_line.h.)
#pragma once

#include <string>
#include <string_view>

namespace qx::os {

// `name` with each control character (bytes 0 to 31 and 127) written as
// \n, \r, \t or \xNN; a name without one comes back unchanged.
std::string shown_name(std::string_view name);

}  // namespace qx::os
