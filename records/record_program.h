// The program of a loader that reads a whole file before it writes it (the
// PNR and MIR loaders): banner and command line (driver/program_start.h;
// too few positional arguments end it with status 2), "Connecting to
// Oracle.....", one connect, then the scan loop for ever, or once with
// --once. A failed connect is printed by code and the program goes on: each
// scan tries to connect again. Each loader keeps only its texts, its file
// pattern and how its file handling is built.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "db/session.h"
#include "driver/program_start.h"
#include "driver/scan_loop.h"

namespace qx::records {

struct RecordProgram {
  driver::ProgramTexts texts;
  std::string pattern;  // "*.PNR"
  // The loader's file handling, built once the session exists; it keeps
  // references to `session` and `out`.
  std::unique_ptr<driver::Loader> (*make_files)(db::Session& session, bool verbose_flag,
                                                std::FILE* out);
};

// The `make_files` of a file handling class built from exactly those
// arguments: RecordProgram{..., &files_of<TarvoFiles>}.
template <class Files>
std::unique_ptr<driver::Loader> files_of(db::Session& session, bool verbose_flag, std::FILE* out) {
  return std::make_unique<Files>(session, verbose_flag, out);
}

// Verbose progress lines are on only with exactly five positional arguments
// of which the fifth is "y" or "Y".
bool verbose_flag(const std::vector<std::string>& positional);

// Runs `program` with the process's arguments. Returns the process's exit
// status: 0 after a stop request or a single scan, 0 for --help and
// --version, 2 on a command line it cannot run with.
int run_record_program(const RecordProgram& program, int argc, const char* const* argv,
                       std::FILE* out);

}  // namespace qx::records
