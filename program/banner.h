// What every loader prints first: its title, then the maker's contact block
// (an owner line, then postal box, telephone, fax and e-mail, each label
// left-aligned in ten columns and followed by ": ").
#pragma once

#include <string>
#include <string_view>

namespace qx::program {

// The title exactly as given, followed by the contact block.
std::string banner_text(std::string_view title);

}  // namespace qx::program
