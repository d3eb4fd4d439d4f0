#include "program/program_start.h"

#include <cstdlib>

#include "db/make_session.h"
#include "db/missing_tables.h"
#include "db/target.h"
#include "history/load_history.h"
#include "observe/event_log.h"
#include "observe/metrics_file.h"
#include "observe/summary_printer.h"
#include "os/env.h"
#include "os/stop_signal.h"
#include "program/banner.h"
#include "program/database_password.h"
#include "program/directory_check.h"
#include "program/exit_status.h"
#include "program/program_check.h"
#include "scan/failed_file_policy.h"

namespace qx::program {
namespace {

// The observers the options ask for: the summary lines, the event log, the
// metrics file.
void add_observers(const CommandLine& line, os::Env& env, os::Console console,
                   scan::ObserverList& observers) {
  if (line.summary) observers.add(std::make_unique<observe::SummaryPrinter>(console));
  if (!line.log_file.empty())
    observers.add(std::make_unique<observe::EventLog>(line.log_file, console));
  if (!line.metrics_file.empty()) {
    observers.add(std::make_unique<observe::MetricsFile>(env, line.metrics_file, console));
  }
}

// "1.0, build base" from the --version line "corvane 1.0, build base\n".
std::string version_of(const ProgramTexts& texts) {
  std::string version = texts.version;
  if (version.starts_with(texts.name + " ")) version.erase(0, texts.name.size() + 1);
  while (!version.empty() && version.back() == '\n') version.pop_back();
  return version;
}

}  // namespace

std::optional<int> answer_command_line(const CommandLine& line, const ProgramTexts& texts,
                                       os::Console console) {
  console.print(banner_text(texts.title));
  if (!line.error.empty()) {
    // One line, so that a unit restarted on a mistyped option does not
    // fill the journal with the whole help each time.
    console.print(texts.name + ": " + line.error + "; see --help\n", os::Priority::err);
    return 2;
  }
  if (line.help) {
    console.print(options_help(texts.usage));
    return 0;
  }
  if (line.version) {
    std::string version = texts.version;
    while (version.ends_with('\n')) version.pop_back();
    console.print(version + " (" + std::string(kPackageName) + " " + std::string(kPackageVersion) +
                  ")\n");
    return 0;
  }
  if (line.positional.size() < 4) {
    console.print(texts.usage);
    return texts.usage_exit_status;
  }
  return std::nullopt;
}

int run_program(const ProgramSpec& spec, int argc, const char* const* argv, os::Console console) {
  os::install_stop_handlers();
  CommandLine line = parse_command_line(argc, argv);
  if (auto status = answer_command_line(line, spec.texts, console)) return *status;
  os::RealEnv env;
  if (auto refusal = empty_directory_refusal(line.positional[2], line.positional[3])) {
    console.print(*refusal, os::Priority::err);
    return kExitUsage;
  }
  if (auto refusal = same_directory_refusal(env, line.positional[2], line.positional[3])) {
    console.print(*refusal, os::Priority::err);
    return kExitUsage;
  }
  if (auto refusal = line.failed_dir.empty() ? std::nullopt
                                             : scan::failed_directory_refusal(
                                                   env, line.positional[2], line.failed_dir)) {
    console.print(*refusal, os::Priority::err);
    return kExitUsage;
  }
  // The failed directory is made when missing, so that the first file set
  // aside has somewhere to go; a failure is told, and files then stay.
  if (!line.failed_dir.empty() && !line.check) {
    if (os::IoResult made = env.make_directory(env.current_directory() / line.failed_dir);
        !made.ok()) {
      console.print("Cannot create the failed directory " + line.failed_dir + ": " + made.reason() +
                        "; files that cannot be loaded stay where they are\n",
                    os::Priority::err);
    }
  }
  PasswordChoice password = choose_password(line, std::getenv("QX_PASSWORD"));
  if (!password.error.empty()) {
    console.print(password.error + "\n", os::Priority::err);
    return kExitUsage;
  }

  console.print("Connecting to Oracle.....\n\n");
  db::Target target = db::parse_target(line.positional[0], password.password);
  target.answer_timeout = line.db_timeout;
  auto session = db::make_session(target);
  db::Status connected = session->connect();
  if (line.check) {
    return check_program(
        env,
        {line.positional[2], line.positional[3], line.failed_dir, line.log_file, line.metrics_file},
        *session, connected, target, spec.texts.name, console);
  }
  if (connected.failed()) {
    console.print(spec.format_sql_error(connected), os::Priority::err);
    console.print(scan::database_failure_line(*session, connected), os::Priority::err);
  } else {
    if (spec.announce_connection) console.print("Connected to Oracle.....\n\n");
    console.print("Database: " + session->description() + "\n\n");
    db::Status search;
    const std::string missing =
        db::missing_tables_notice(*session, target, spec.texts.name, &search);
    console.print(missing.empty() ? db::missing_privileges_notice(*session, target, spec.texts.name)
                                  : missing,
                  os::Priority::err);
    // A connection lost during the look at the tables (a server that keeps
    // a locked table's answer waiting, or ends the session) is said here,
    // so that the first scan's connect is not the end of a failure nobody
    // was told of.
    if (!session->connected()) {
      console.print("The connection to the database " + session->description() +
                        " was lost while the loader's tables were looked at: " + search.message +
                        "; each scan connects again until it answers\n",
                    os::Priority::err);
    }
  }
  // A stop asked for while the connect was under way: nothing is scanned.
  if (os::stop_requested()) return kExitDone;

  std::unique_ptr<scan::FileHandler> handler = spec.make_handler(*session, line, console);
  const std::string instance =
      line.instance.empty() ? history::default_instance_name() : line.instance;
  history::LoadHistory history(*session, spec.texts.name, instance);
  // The first scan leaves the connect to the next only when the failed
  // start-up connect was told above.
  scan::ScanSettings settings{line.positional[2], line.positional[3], spec.pattern,
                              spec.pause,         line.settle,        line.once,
                              connected.failed(), line.batch,         line.quiet_idle};
  scan::ScanLoop loop(env, *handler, std::move(settings), console, &history,
                      {line.failed_dir, line.max_attempts, line.max_file_size});
  scan::ObserverList observers;
  add_observers(line, env, console, observers);
  if (!observers.empty()) loop.observe(observers);
  observers.started({spec.texts.name, version_of(spec.texts), instance, session->description(),
                     line.positional[2], line.positional[3]});
  scan::ScanOutcome outcome = loop.run();
  observers.stopped();
  if (!line.once) return kExitDone;
  if (outcome.all_done()) return outcome.files_failed > 0 ? kExitFilesFailed : kExitDone;
  if (!outcome.connected) return kExitNoDatabase;
  if (!outcome.input_readable) return kExitInputUnreadable;
  return kExitFilesLeft;
}

}  // namespace qx::program
