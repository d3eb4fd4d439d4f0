#include "meridon_full/meridon_program.h"

#include <chrono>
#include <string>

#include "db/report_sql_error.h"
#include "db/session.h"
#include "db/target.h"
#include "driver/banner.h"
#include "driver/command_line.h"
#include "driver/console.h"
#include "driver/env.h"
#include "driver/scan_loop.h"
#include "driver/stop_signal.h"
#include "meridon_full/meridon_files.h"

namespace qx::meridon_full {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{10000};

}  // namespace

bool verbose_flag(const std::vector<std::string>& positional) {
  return positional.size() == 5 && (positional[4] == "y" || positional[4] == "Y");
}

int run_meridon_full(int argc, const char* const* argv, std::FILE* out) {
  driver::CommandLine line = driver::parse_command_line(argc, argv);
  driver::print_line(out, driver::banner_text(kTitle));
  if (!line.error.empty()) {
    driver::print_line(out, "meridon_full: " + line.error + "\n" + driver::options_help(kUsage));
    return 2;
  }
  if (line.help) {
    driver::print_line(out, driver::options_help(kUsage));
    return 0;
  }
  if (line.version) {
    driver::print_line(out, "meridon_full 2.0\n");
    return 0;
  }
  if (line.positional.size() < 4) {
    driver::print_line(out, kUsage);
    return 2;
  }
  const bool verbose = verbose_flag(line.positional);

  driver::print_line(out, "Connecting to Oracle.....\n\n");
  auto session = db::make_session(db::parse_target(line.positional[0], line.positional[1]));
  db::Status connected = session->connect();
  if (connected.failed()) db::report_sql_error_by_code(connected, out);

  driver::install_stop_handlers();
  driver::RealEnv env;
  MeridonFiles files(*session, verbose, out);
  driver::ScanLoop loop(
      env, files,
      {line.positional[2], line.positional[3], "*.MIR", kPauseBetweenScans, line.settle, line.once},
      out);
  loop.run();
  return 0;
}

}  // namespace qx::meridon_full
