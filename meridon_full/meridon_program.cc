#include "meridon_full/meridon_program.h"

#include "meridon_full/meridon_files.h"
#include "records/record_program.h"

namespace qx::meridon_full {

int run_meridon_full(int argc, const char* const* argv, std::FILE* out) {
  return driver::run_program(
      records::record_program_spec({"meridon_full", kTitle, kUsage, "meridon_full 2.0\n", 2},
                                   "*.MIR", &records::files_of<MeridonFiles>),
      argc, argv, out);
}

}  // namespace qx::meridon_full
