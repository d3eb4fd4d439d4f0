#include "program/meridon_program.h"

#include "meridon_full/meridon_full_texts.h"

#include "meridon_full/meridon_file_handler.h"
#include "program/record_program.h"

namespace qx::program {

int run_meridon_full(int argc, const char* const* argv, std::FILE* out) {
  return program::run_program(
      program::record_program_spec(
          {"meridon_full", meridon_full::kTitle, meridon_full::kUsage, "meridon_full 2.0\n", 2},
          "*.MIR", &program::handler_of<meridon_full::MeridonFileHandler>),
      argc, argv, out);
}

}  // namespace qx::program
