#include "records/record_program.h"

#include <chrono>

#include "db/report_sql_error.h"
#include "db/target.h"
#include "driver/command_line.h"
#include "driver/console.h"

namespace qx::records {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{10000};

}  // namespace

bool verbose_flag(const std::vector<std::string>& positional) {
  return positional.size() == 5 && (positional[4] == "y" || positional[4] == "Y");
}

int run_record_program(const RecordProgram& program, int argc, const char* const* argv,
                       std::FILE* out) {
  driver::CommandLine line = driver::parse_command_line(argc, argv);
  if (auto status = driver::answer_command_line(line, program.texts, out)) return *status;
  const bool verbose = verbose_flag(line.positional);

  driver::print_line(out, "Connecting to Oracle.....\n\n");
  auto session = db::make_session(db::parse_target(line.positional[0], line.positional[1]));
  db::Status connected = session->connect();
  if (connected.failed()) db::report_sql_error_by_code(connected, out);

  std::unique_ptr<driver::Loader> files = program.make_files(*session, verbose, out);
  driver::run_until_stopped(*files, line, program.pattern, kPauseBetweenScans, out);
  return 0;
}

}  // namespace qx::records
