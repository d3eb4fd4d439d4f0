// The PNR loader program: banner, command line, connect, then the scan loop
// for ever (or once with --once), as program/record_program.h runs it.
// Returns the process's exit status: 0 after a stop request or a single
// scan, 2 on a command line it cannot run with (an unknown option, fewer
// than four positional arguments).
#pragma once

#include <cstdio>

namespace qx::program {

int run_tarvo(int argc, const char* const* argv, std::FILE* out);

}  // namespace qx::program
