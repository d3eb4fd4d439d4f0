// The AIR loader's own texts: its banner title and its usage line, printed
// by the program start and quoted by the manual page.
#pragma once

namespace qx::corvane {

inline constexpr const char* kTitle = "\n\n\nCorvane CRS Dataloading Version 1.0\n\n\n";
inline constexpr const char* kUsage =
    "\n\nUsage: corvane user_name@Tns_name Passwd input-dir backup-dir\n\n";

}  // namespace qx::corvane
