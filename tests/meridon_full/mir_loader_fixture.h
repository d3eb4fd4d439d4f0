// A MIR loader on a fresh SQLite database, fed lines as the driver feeds
// them (begin_file, parse_line per line, the header line first, load_file),
// with its output captured and its tables readable.
#pragma once

#include "meridon_full/mir_loader.h"
#include "support/record_loader_test.h"

namespace qx::meridon_full {

class MirLoaderTest : public qx::testing::RecordLoaderTest<MirLoader> {
 protected:
  MirLoaderTest() : RecordLoaderTest("mir.db") {}
};

}  // namespace qx::meridon_full
