#include "driver/program_check.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "db/missing_tables.h"
#include "driver/scan_loop.h"

namespace qx::driver {
namespace {

// Writes, syncs and removes a small file in `dir`: what a move needs of it.
IoResult try_writing(Env& env, const std::filesystem::path& dir) {
  const auto probe = dir / (".qx-check-" + std::to_string(::getpid()));
  IoResult written = env.write_file(probe, "check");
  if (!written.ok()) return written;
  return env.remove_file(probe);
}

}  // namespace

ExitStatus check_program(Env& env, const CheckedPlaces& places, db::Session& session,
                         const db::Status& connected, const db::Target& target,
                         const std::string& program, Console console) {
  ExitStatus first = kExitDone;
  const auto problem = [&](ExitStatus status, const std::string& line) {
    console.print(line + "\n", Priority::err);
    if (first == kExitDone) first = status;
  };
  std::vector<DirectoryEntry> entries;
  if (IoResult listed = env.list_directory(std::filesystem::absolute(places.input_dir), entries);
      !listed.ok()) {
    problem(kExitInputUnreadable, "Cannot read the input directory " + places.input_dir + ": " +
                                      listed.reason() +
                                      "; check that it exists and that this user may read it");
  }
  if (IoResult written = try_writing(env, std::filesystem::absolute(places.backup_dir));
      !written.ok()) {
    problem(kExitBackupUnwritable, "Cannot write to the backup directory " + places.backup_dir +
                                       ": " + written.reason() +
                                       "; check that it exists and that this user may write to it");
  }
  if (connected.failed()) {
    std::string line = database_failure_line(session, connected);
    line.pop_back();
    problem(kExitNoDatabase, line);
  } else if (std::string missing = db::missing_tables_notice(session, target, program);
             !missing.empty()) {
    missing.pop_back();
    problem(kExitNoDatabase, missing);
  }
  if (first == kExitDone) console.print("OK\n");
  return first;
}

}  // namespace qx::driver
