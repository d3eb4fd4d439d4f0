// The PNR loader's own texts: its banner title and its usage line, printed
// by the program start and quoted by the manual page.
#pragma once

namespace qx::tarvo {

inline constexpr const char* kTitle = "\n\n\nTARVO PNR Dataloading(Full Data) Version 2.0\n\n\n";
inline constexpr const char* kUsage =
    "\n\nUsage: tarvo user_name@Tns_name Passwd input-dir backup-dir [y|Y]\n\n";

}  // namespace qx::tarvo
