#include "tarvo/tarvo_file_handler.h"

#include <memory>

#include "tarvo/pnr_loader.h"

namespace qx::tarvo {

TarvoFileHandler::TarvoFileHandler(db::Session& session, bool verbose_flag, os::Console console)
    : RecordFileHandler(session, std::make_unique<PnrLoader>(session, verbose_flag, console),
                        kPnrFileSteps, verbose_flag, console) {}

}  // namespace qx::tarvo
