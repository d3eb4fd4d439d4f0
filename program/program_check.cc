#include "program/program_check.h"

#include <unistd.h>

#include <filesystem>
#include <vector>

#include "db/missing_tables.h"
#include "scan/scan_loop.h"

namespace qx::program {
namespace {

// Writes, syncs and removes a small file in `dir`: what a move needs of it.
os::IoResult try_writing(os::Env& env, const std::filesystem::path& dir) {
  const auto probe = dir / (".qx-check-" + std::to_string(::getpid()));
  os::IoResult written = env.write_file(probe, "check");
  if (!written.ok()) return written;
  return env.remove_file(probe);
}

// The path as the operator typed it, a relative one taken against the
// current directory. An empty one names no directory, and stays empty so
// that the look at it fails.
std::filesystem::path absolute(os::Env& env, const std::filesystem::path& typed) {
  return typed.empty() || typed.is_absolute() ? typed : env.current_directory() / typed;
}

// The directory a file is written in, relative ones against the current
// directory.
std::filesystem::path directory_of(os::Env& env, const std::string& file) {
  const auto parent = absolute(env, file).parent_path();
  return parent.empty() ? env.current_directory() : parent;
}

// The failed directory itself, or the nearest directory above it that
// exists: the loader creates what is missing there.
std::filesystem::path existing_failed_place(os::Env& env, const std::string& failed_dir) {
  std::filesystem::path place = absolute(env, failed_dir);
  std::vector<os::DirectoryEntry> entries;
  while (place.has_parent_path() && place != place.parent_path() &&
         env.list_directory(place, entries).error() == std::errc::no_such_file_or_directory) {
    place = place.parent_path();
  }
  return place;
}

}  // namespace

ExitStatus check_program(os::Env& env, const CheckedPlaces& places, db::Session& session,
                         const db::Status& connected, const db::Target& target,
                         const std::string& program, os::Console console) {
  ExitStatus first = kExitDone;
  const auto problem = [&](ExitStatus status, const std::string& line) {
    console.print(line + "\n", os::Priority::err);
    if (first == kExitDone) first = status;
  };
  std::vector<os::DirectoryEntry> entries;
  if (os::IoResult listed = env.list_directory(absolute(env, places.input_dir), entries);
      !listed.ok()) {
    problem(kExitInputUnreadable, "Cannot read the input directory " + places.input_dir + ": " +
                                      listed.reason() +
                                      "; check that it exists and that this user may read it");
  }
  if (os::IoResult written = try_writing(env, absolute(env, places.backup_dir)); !written.ok()) {
    problem(kExitBackupUnwritable, "Cannot write to the backup directory " + places.backup_dir +
                                       ": " + written.reason() +
                                       "; check that it exists and that this user may write to it");
  }
  const auto writable = [&](const std::filesystem::path& dir, const std::string& what,
                            const std::string& shown) {
    if (os::IoResult written = try_writing(env, dir); !written.ok()) {
      problem(kExitBackupUnwritable,
              "Cannot write to " + what + " " + shown + ": " + written.reason() +
                  "; check that it exists and that this user may write to it");
    }
  };
  if (!places.failed_dir.empty()) {
    const auto place = existing_failed_place(env, places.failed_dir);
    writable(place,
             place == absolute(env, places.failed_dir)
                 ? "the failed directory"
                 : "the directory the failed directory is created in",
             place == absolute(env, places.failed_dir) ? places.failed_dir : place.string());
  }
  if (!places.log_file.empty()) {
    writable(directory_of(env, places.log_file), "the event log's directory",
             directory_of(env, places.log_file).string());
  }
  if (!places.metrics_file.empty()) {
    writable(directory_of(env, places.metrics_file), "the metrics file's directory",
             directory_of(env, places.metrics_file).string());
  }
  if (connected.failed()) {
    std::string line = scan::database_failure_line(session, connected);
    line.pop_back();
    problem(kExitNoDatabase, line);
  } else if (std::string missing = db::missing_tables_notice(session, target, program);
             !missing.empty()) {
    missing.pop_back();
    problem(kExitNoDatabase, missing);
  } else if (std::string lacking = db::missing_privileges_notice(session, target, program);
             !lacking.empty()) {
    lacking.pop_back();
    problem(kExitNoDatabase, lacking);
  }
  if (first == kExitDone) console.print("OK\n");
  return first;
}

}  // namespace qx::program
