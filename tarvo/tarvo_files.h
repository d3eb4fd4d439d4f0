// How the PNR loader takes one file of a scan (records/record_files.h):
// "Currently Processing" once the file was read, and "File Read Complete"
// also for every scan that found no file.
#pragma once

#include "db/session.h"
#include "driver/console.h"
#include "records/record_files.h"

namespace qx::tarvo {

inline constexpr records::RecordFileSteps kPnrFileSteps = {false, {}, true};

class TarvoFiles : public records::RecordFiles {
 public:
  TarvoFiles(db::Session& session, bool verbose_flag, driver::Console console);
};

}  // namespace qx::tarvo
