// Loading the records of one MIR file (records/fixed_record_loader.h): the
// header record first, then the A records, each filed by its first three
// characters; the file is keyed from MERIDON_SEQUENCE and its header row
// touched. MIR records follow no rule beyond the common one.
#pragma once

#include "db/session.h"
#include "driver/console.h"
#include "meridon_full/mir_records.h"
#include "records/fixed_record_loader.h"

namespace qx::meridon_full {

class MirLoader : public records::FixedRecordLoader {
 public:
  MirLoader(db::Session& session, bool verbose_flag, driver::Console console)
      : FixedRecordLoader(session, mir_format(), verbose_flag, console) {}
};

}  // namespace qx::meridon_full
