// How the PNR loader takes one file of a scan (record_loader/record_file_handler.h):
// "Currently Processing" once the file was read, and "File Read Complete"
// also for every scan that found no file.
#pragma once

#include "db/session.h"
#include "os/console.h"
#include "record_loader/record_file_handler.h"

namespace qx::tarvo {

inline constexpr record_loader::RecordFileSteps kPnrFileSteps = {false, {}, true};

class TarvoFileHandler : public record_loader::RecordFileHandler {
 public:
  TarvoFileHandler(db::Session& session, bool verbose_flag, os::Console console);
};

}  // namespace qx::tarvo
