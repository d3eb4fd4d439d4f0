#include "tarvo/tarvo_program.h"

#include "records/record_program.h"
#include "tarvo/tarvo_files.h"

namespace qx::tarvo {

int run_tarvo(int argc, const char* const* argv, std::FILE* out) {
  const records::RecordProgram program{
      {"tarvo", kTitle, kUsage, "tarvo 2.0\n", 2}, "*.PNR", &records::files_of<TarvoFiles>};
  return records::run_record_program(program, argc, argv, out);
}

}  // namespace qx::tarvo
