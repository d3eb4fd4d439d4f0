#include "tarvo/tarvo_program.h"

#include "records/record_program.h"
#include "tarvo/tarvo_files.h"

namespace qx::tarvo {

int run_tarvo(int argc, const char* const* argv, std::FILE* out) {
  return driver::run_program(
      records::record_program_spec({"tarvo", kTitle, kUsage, "tarvo 2.0\n", 2}, "*.PNR",
                                   &records::files_of<TarvoFiles>),
      argc, argv, out);
}

}  // namespace qx::tarvo
