// The program of a loader that reads a whole file before it writes it (the
// PNR and MIR loaders), on the shared program start (program/program_start.h):
// too few positional arguments end it with status 2, a failed connect is
// printed by code, nothing more is printed after a successful connect, and
// the scans are ten seconds apart. Each loader keeps only its texts, its
// file pattern and its file handling class.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "db/session.h"
#include "os/console.h"
#include "program/program_start.h"
#include "scan/scan_loop.h"

namespace qx::program {

// Verbose progress lines are on only with exactly five positional arguments
// of which the fifth is "y" or "Y".
bool verbose_flag(const std::vector<std::string>& positional);

// The program spec of a record loader whose file handling class `Files` is
// built from (session, verbose_flag, console).
program::ProgramSpec record_program_spec(
    program::ProgramTexts texts, std::string pattern,
    std::unique_ptr<scan::FileHandler> (*make_handler_of)(db::Session& session, bool verbose_flag,
                                                          os::Console console));

template <class Files>
std::unique_ptr<scan::FileHandler> handler_of(db::Session& session, bool verbose_flag,
                                              os::Console console) {
  return std::make_unique<Files>(session, verbose_flag, console);
}

}  // namespace qx::program
