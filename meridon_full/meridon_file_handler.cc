#include "meridon_full/meridon_file_handler.h"

#include <memory>

#include "meridon_full/mir_loader.h"

namespace qx::meridon_full {

MeridonFileHandler::MeridonFileHandler(db::Session& session, bool verbose_flag, os::Console console)
    : RecordFileHandler(session, std::make_unique<MirLoader>(session, verbose_flag, console),
                        kMirFileSteps, verbose_flag, console) {}

}  // namespace qx::meridon_full
