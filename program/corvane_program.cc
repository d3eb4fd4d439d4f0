#include "program/corvane_program.h"

#include "corvane/corvane_texts.h"

#include <chrono>
#include <string>

#include "corvane/corvane_file_handler.h"
#include "db/report_sql_error.h"
#include "program/program_start.h"

namespace qx::program {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{3600};

}  // namespace

int run_corvane(corvane::AirBuild build, int argc, const char* const* argv, std::FILE* out) {
  program::ProgramSpec spec;
  // Too few arguments end this loader with status 0.
  spec.texts = {"corvane", corvane::kTitle, corvane::kUsage,
                "corvane 1.0, build " + std::string(profile(build).name) + "\n", 0};
  spec.pattern = "*.air";
  spec.pause = kPauseBetweenScans;
  spec.announce_connection = true;
  spec.format_sql_error = &db::format_sql_error_by_text;
  spec.make_handler = [build](db::Session& session, const program::CommandLine& line,
                              os::Console console) {
    return std::make_unique<corvane::CorvaneFileHandler>(session, build, console, line.batch);
  };
  return program::run_program(spec, argc, argv, out);
}

}  // namespace qx::program
