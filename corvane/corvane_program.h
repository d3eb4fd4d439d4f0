// The AIR loader program: banner, command line, connect, then the scan loop
// for ever (or once with --once). Returns the process's exit status.
#pragma once

#include <cstdio>

#include "corvane/air_build.h"

namespace qx::corvane {

inline constexpr const char* kTitle = "\n\n\nCorvane CRS Dataloading Version 1.0\n\n\n";
inline constexpr const char* kUsage =
    "\n\nUsage: corvane user_name@Tns_name Passwd input-dir backup-dir\n\n";

int run_corvane(AirBuild build, int argc, const char* const* argv, std::FILE* out);

}  // namespace qx::corvane
