// How the MIR loader takes one file of a scan (records/record_files.h):
// "Currently Processing" before the file is read, and "File Not Found..."
// with the name after a file that could not be read, or was loaded but not
// moved. A scan that finds no file prints nothing.
#pragma once

#include "db/session.h"
#include "driver/console.h"
#include "records/record_files.h"

namespace qx::meridon_full {

inline constexpr records::RecordFileSteps kMirFileSteps = {true, "File Not Found...", false};

class MeridonFiles : public records::RecordFiles {
 public:
  MeridonFiles(db::Session& session, bool verbose_flag, driver::Console console);
};

}  // namespace qx::meridon_full
