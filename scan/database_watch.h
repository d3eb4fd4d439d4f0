// The loop's watch on the database, as three alarms (alarm.h): the
// connection (each scan connects again while it is missing, and without
// one no file is opened or moved), the storage (a database that does not
// keep what it stores loads and moves nothing), and a refusal of work that
// is no file's fault (a missing table or privilege, a full or read-only
// database: every other file would meet it, so the rest of the scan waits,
// and while it lasts the lines of the file that tries again are held and
// dropped until the reminder is due).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "db/session.h"
#include "scan/alarm.h"
#include "scan/file_handler.h"
#include "scan/file_report.h"

namespace qx::scan {

class DatabaseWatch {
 public:
  // `outlets` and `handler` must outlive the watch. With
  // `connect_tried_at_start`, the program's connect just before the loop
  // failed and was told: the first scan does not try again at once.
  DatabaseWatch(AlarmOutlets& outlets, FileHandler& handler, bool connect_tried_at_start);

  // Connects again when the connection is missing; the failure is told when
  // it starts and at the reminder interval (with the loader's printer line),
  // its end once. Returns whether there is a connection.
  [[nodiscard]] bool ensure_connected();
  // Asks an open connection one question, in a scan that found no file, so
  // that an idle loader notices a server that went away as a busy one does
  // (and the observers' database state follows it); the question leaves no
  // transaction open. False when the connection is lost and cannot be made
  // again.
  [[nodiscard]] bool still_connected();
  // Whether the database keeps what it stores; says when that starts to
  // fail, at the reminder interval, and when it holds again.
  [[nodiscard]] bool storage_intact();
  // The same, before a loaded file's move: looked at once per commit, so
  // that the files a batch commits together share one look.
  [[nodiscard]] bool storage_intact_since_commit();
  // Whether storage_intact last found the storage failing.
  bool storage_failing() const { return storage_.raised(); }

  // Keeps the rhythm of a refusal from a file's report: a refusal is told
  // (when it starts and at the reminder interval), a commit clears it.
  // Returns whether the file met a refusal, so that the rest of the scan
  // waits.
  [[nodiscard]] bool note_outcome(const FileReport& report);
  // Tells the refusal `why`; true when it was told now.
  bool tell_refusal(const std::string& why);
  // Whether a refusal lasts and its reminder is not yet due: a file that
  // tries again keeps quiet unless it gets through.
  bool refusal_quiet() const { return refusal_.raised() && !refusal_.recall_due(); }
  // Runs `handle` (a file or a batch handed to the handler) with its lines
  // held while refusal_quiet(): refused again (`refused_again`), they are
  // dropped; otherwise printed.
  void quiet_while_refused(const std::function<void()>& handle,
                           const std::function<bool()>& refused_again);

 private:
  AlarmOutlets& outlets_;
  FileHandler& handler_;
  bool skip_next_connect_;
  Alarm connection_;
  Alarm storage_;
  // The session's commit count when the storage was last found intact.
  std::optional<std::uint64_t> intact_at_commit_;
  Alarm refusal_;
};

// The operator's line about a database that cannot be connected to: the
// whole reason (host, socket or file), how long it has lasted, and what to
// check.
std::string database_failure_line(const db::Session& session, const db::Status& status,
                                  std::chrono::seconds lasted = std::chrono::seconds(0));

}  // namespace qx::scan
