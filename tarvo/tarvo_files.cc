#include "tarvo/tarvo_files.h"

#include <memory>

#include "tarvo/pnr_loader.h"

namespace qx::tarvo {

TarvoFiles::TarvoFiles(db::Session& session, bool verbose_flag, driver::Console console)
    : RecordFiles(session, std::make_unique<PnrLoader>(session, verbose_flag, console),
                  kPnrFileSteps, verbose_flag, console) {}

}  // namespace qx::tarvo
