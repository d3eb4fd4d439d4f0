// A PNR loader on a fresh SQLite database, fed records as the driver feeds
// them (begin_file, parse_line per record, load_file), with its output
// captured and its tables readable.
#pragma once

#include "support/record_loader_test.h"
#include "tarvo/pnr_loader.h"

namespace qx::tarvo {

class PnrLoaderTest : public qx::testing::RecordLoaderTest<PnrLoader> {
 protected:
  PnrLoaderTest() : RecordLoaderTest("pnr.db") {}
};

}  // namespace qx::tarvo
