#include "corvane/corvane_program.h"

#include <chrono>
#include <string>

#include "corvane/corvane_files.h"
#include "db/report_sql_error.h"
#include "driver/program_start.h"

namespace qx::corvane {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{3600};

}  // namespace

int run_corvane(AirBuild build, int argc, const char* const* argv, std::FILE* out) {
  driver::ProgramSpec spec;
  // Too few arguments end this loader with status 0.
  spec.texts = {"corvane", kTitle, kUsage,
                "corvane 1.0, build " + std::string(profile(build).name) + "\n", 0};
  spec.pattern = "*.air";
  spec.pause = kPauseBetweenScans;
  spec.announce_connection = true;
  spec.format_sql_error = &db::format_sql_error_by_text;
  spec.make_handler = [build](db::Session& session, const driver::CommandLine& line,
                              driver::Console console) {
    return std::make_unique<CorvaneFiles>(session, build, console, line.batch);
  };
  return driver::run_program(spec, argc, argv, out);
}

}  // namespace qx::corvane
