#include "meridon_full/meridon_files.h"

#include <memory>

#include "meridon_full/mir_loader.h"

namespace qx::meridon_full {

MeridonFiles::MeridonFiles(db::Session& session, bool verbose_flag, driver::Console console)
    : RecordFiles(session, std::make_unique<MirLoader>(session, verbose_flag, console),
                  kMirFileSteps, verbose_flag, console) {}

}  // namespace qx::meridon_full
