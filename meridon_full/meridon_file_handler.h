// How the MIR loader takes one file of a scan (record_loader/record_file_handler.h):
// "Currently Processing" before the file is read, and "File Not Found..."
// with the name after a file that could not be read, or was loaded but not
// moved. A scan that finds no file prints nothing.
#pragma once

#include "db/session.h"
#include "os/console.h"
#include "record_loader/record_file_handler.h"

namespace qx::meridon_full {

inline constexpr record_loader::RecordFileSteps kMirFileSteps = {true, "File Not Found...", false};

class MeridonFileHandler : public record_loader::RecordFileHandler {
 public:
  MeridonFileHandler(db::Session& session, bool verbose_flag, os::Console console);
};

}  // namespace qx::meridon_full
