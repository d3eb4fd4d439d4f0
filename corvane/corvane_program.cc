#include "corvane/corvane_program.h"

#include <chrono>
#include <string>

#include "corvane/corvane_files.h"
#include "db/report_sql_error.h"
#include "db/session.h"
#include "db/target.h"
#include "driver/command_line.h"
#include "driver/console.h"
#include "driver/program_start.h"

namespace qx::corvane {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{3600};

}  // namespace

int run_corvane(AirBuild build, int argc, const char* const* argv, std::FILE* out) {
  driver::CommandLine line = driver::parse_command_line(argc, argv);
  // Too few arguments end this loader with status 0.
  const driver::ProgramTexts texts{"corvane", kTitle, kUsage,
                                   "corvane 1.0, build " + std::string(profile(build).name) + "\n",
                                   0};
  if (auto status = driver::answer_command_line(line, texts, out)) return *status;

  driver::print_line(out, "Connecting to Oracle.....\n\n");
  auto session = db::make_session(db::parse_target(line.positional[0], line.positional[1]));
  db::Status connected = session->connect();
  if (connected.ok()) {
    driver::print_line(out, "Connected to Oracle.....\n\n");
    driver::print_line(out, "Database: " + session->description() + "\n\n");
  } else {
    db::report_sql_error_by_text(connected, out);
  }

  CorvaneFiles files(*session, build, out);
  driver::run_until_stopped(files, line, "*.air", kPauseBetweenScans, out);
  return 0;
}

}  // namespace qx::corvane
