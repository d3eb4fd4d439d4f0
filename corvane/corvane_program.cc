#include "corvane/corvane_program.h"

#include <chrono>
#include <string>

#include "corvane/corvane_files.h"
#include "db/report_sql_error.h"
#include "db/session.h"
#include "db/target.h"
#include "driver/banner.h"
#include "driver/command_line.h"
#include "driver/console.h"
#include "driver/env.h"
#include "driver/scan_loop.h"
#include "driver/stop_signal.h"

namespace qx::corvane {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{3600};

}  // namespace

int run_corvane(AirBuild build, int argc, const char* const* argv, std::FILE* out) {
  driver::CommandLine line = driver::parse_command_line(argc, argv);
  driver::print_line(out, driver::banner_text(kTitle));
  if (!line.error.empty()) {
    driver::print_line(out, "corvane: " + line.error + "\n" + driver::options_help(kUsage));
    return 2;
  }
  if (line.help) {
    driver::print_line(out, driver::options_help(kUsage));
    return 0;
  }
  if (line.version) {
    driver::print_line(out, "corvane 1.0, build " + std::string(profile(build).name) + "\n");
    return 0;
  }
  if (line.positional.size() < 4) {
    driver::print_line(out, kUsage);
    return 0;
  }

  driver::print_line(out, "Connecting to Oracle.....\n\n");
  auto session = db::make_session(db::parse_target(line.positional[0], line.positional[1]));
  db::Status connected = session->connect();
  if (connected.ok()) {
    driver::print_line(out, "Connected to Oracle.....\n\n");
    driver::print_line(out, "Database: " + session->description() + "\n\n");
  } else {
    db::report_sql_error_by_text(connected, out);
  }

  driver::install_stop_handlers();
  driver::RealEnv env;
  CorvaneFiles files(*session, build, out);
  driver::ScanLoop loop(
      env, files,
      {line.positional[2], line.positional[3], "*.air", kPauseBetweenScans, line.settle, line.once},
      out);
  loop.run();
  return 0;
}

}  // namespace qx::corvane
