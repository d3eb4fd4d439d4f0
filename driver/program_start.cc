#include "driver/program_start.h"

#include "db/make_session.h"
#include "db/missing_tables.h"
#include "db/target.h"
#include "driver/banner.h"
#include "driver/directory_check.h"
#include "driver/env.h"
#include "driver/load_history.h"
#include "driver/stop_signal.h"

namespace qx::driver {

std::optional<int> answer_command_line(const CommandLine& line, const ProgramTexts& texts,
                                       Console console) {
  console.print(banner_text(texts.title));
  if (!line.error.empty()) {
    console.print(texts.name + ": " + line.error + "\n" + options_help(texts.usage));
    return 2;
  }
  if (line.help) {
    console.print(options_help(texts.usage));
    return 0;
  }
  if (line.version) {
    console.print(texts.version);
    return 0;
  }
  if (line.positional.size() < 4) {
    console.print(texts.usage);
    return texts.usage_exit_status;
  }
  return std::nullopt;
}

int run_program(const ProgramSpec& spec, int argc, const char* const* argv, Console console) {
  install_stop_handlers();
  CommandLine line = parse_command_line(argc, argv);
  if (auto status = answer_command_line(line, spec.texts, console)) return *status;
  RealEnv env;
  if (auto refusal = same_directory_refusal(env, line.positional[2], line.positional[3])) {
    console.print(*refusal);
    return 2;
  }

  console.print("Connecting to Oracle.....\n\n");
  const db::Target target = db::parse_target(line.positional[0], line.positional[1]);
  auto session = db::make_session(target);
  db::Status connected = session->connect();
  if (connected.failed()) {
    spec.report_sql_error(connected, console.stream());
  } else if (spec.announce_connection) {
    console.print("Connected to Oracle.....\n\n");
    console.print("Database: " + session->description() + "\n\n");
  }
  if (connected.ok()) console.print(db::missing_tables_notice(*session, target, spec.texts.name));
  // A stop asked for while the connect was under way: nothing is scanned.
  if (stop_requested()) return 0;

  std::unique_ptr<FileHandler> handler = spec.make_handler(*session, line, console);
  LoadHistory history(*session, spec.texts.name,
                      line.instance.empty() ? default_instance_name() : line.instance);
  ScanSettings settings{line.positional[2], line.positional[3], spec.pattern, spec.pause,
                        line.settle,        line.once,          true};
  ScanLoop loop(env, *handler, std::move(settings), console, &history);
  loop.run();
  return 0;
}

}  // namespace qx::driver
