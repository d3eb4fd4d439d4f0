#include "program/tarvo_program.h"

#include "tarvo/tarvo_texts.h"

#include "program/record_program.h"
#include "tarvo/tarvo_file_handler.h"

namespace qx::program {

int run_tarvo(int argc, const char* const* argv, std::FILE* out) {
  return program::run_program(
      program::record_program_spec({"tarvo", tarvo::kTitle, tarvo::kUsage, "tarvo 2.0\n", 2},
                                   "*.PNR", &program::handler_of<tarvo::TarvoFileHandler>),
      argc, argv, out);
}

}  // namespace qx::program
