// The AIR loader program: banner, command line, connect, then the scan loop
// for ever (or once with --once). Returns the process's exit status.
#pragma once

#include <cstdio>

#include "corvane/air_build.h"

namespace qx::program {

int run_corvane(corvane::AirBuild build, int argc, const char* const* argv, std::FILE* out);

}  // namespace qx::program
