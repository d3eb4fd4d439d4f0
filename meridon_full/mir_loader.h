// Loading the records of one MIR file (record_loader/fixed_record_loader.h): the
// header record first, then the A records, each filed by its first three
// characters; the file is keyed from MERIDON_SEQUENCE and its header row
// touched. MIR records follow no rule beyond the common one.
#pragma once

#include "db/session.h"
#include "meridon_full/mir_records.h"
#include "os/console.h"
#include "record_loader/fixed_record_loader.h"

namespace qx::meridon_full {

class MirLoader : public record_loader::FixedRecordLoader {
 public:
  MirLoader(db::Session& session, bool verbose_flag, os::Console console)
      : FixedRecordLoader(session, mir_format(), verbose_flag, console) {}
};

}  // namespace qx::meridon_full
