#include "scan/database_watch.h"

#include <cstdint>
#include <utility>

namespace qx::scan {
namespace {

AlarmNotice connect_notice(const db::Session& session, const db::Status& status) {
  std::string detail = session.connect_failure_detail();
  if (detail.empty()) detail = status.message;
  return {.detail = session.description() + ": " + detail,
          .headline = "Cannot connect to the database " + session.description() + ": " + detail,
          .advice =
              "no file is loaded until it answers: check that the server runs and is "
              "reachable, and the login"};
}

}  // namespace

std::string database_failure_line(const db::Session& session, const db::Status& status,
                                  std::chrono::seconds lasted) {
  return alarm_line(connect_notice(session, status), lasted);
}

DatabaseWatch::DatabaseWatch(AlarmOutlets& outlets, FileHandler& handler,
                             bool connect_tried_at_start)
    : outlets_(outlets),
      handler_(handler),
      skip_next_connect_(connect_tried_at_start),
      connection_(outlets, FailureKind::database),
      storage_(outlets),
      refusal_(outlets, FailureKind::database_refusal) {}

bool DatabaseWatch::ensure_connected() {
  auto& session = handler_.session();
  // A failed start-up connect was printed a moment ago; once is enough.
  const bool tried_just_now = std::exchange(skip_next_connect_, false);
  if (session.connected()) return true;
  if (tried_just_now) {
    const std::string detail = session.connect_failure_detail();
    // Told by the program at start.
    connection_.raise_told(detail.empty() ? session.description()
                                          : session.description() + ": " + detail);
    return false;
  }
  db::Status status = session.connect();
  if (status.ok()) {
    connection_.clear(session.description(),
                      "The database " + session.description() + " is reachable again");
    return true;
  }
  // The loader's printer line comes first, with each telling of the alarm.
  if (connection_.recall_due()) handler_.report_sql_error(status);
  connection_.raise(connect_notice(session, status));
  return false;
}

bool DatabaseWatch::still_connected() {
  auto& session = handler_.session();
  std::int64_t answer = 0;
  if (session.query_integer("select 1", {}, answer).ok()) (void)session.rollback();  // read only
  // A connection found lost is connected again at once, or its failure told.
  return session.connected() || ensure_connected();
}

bool DatabaseWatch::storage_intact() {
  auto& session = handler_.session();
  const std::string problem = session.connected() ? session.storage_problem() : std::string();
  if (problem.empty()) {
    intact_at_commit_ = session.commits_made();
    storage_.clear({}, "The database " + session.description() + " keeps what it stores again");
    return true;
  }
  storage_.raise({.detail = {},
                  .headline = "The database " + session.description() +
                              " does not keep what it stores: " + problem,
                  .advice =
                      "the files wait for a later scan, and none is loaded or moved until it does: "
                      "restart the loader with the database in place",
                  .lasted_as = {}});
  intact_at_commit_.reset();
  return false;
}

bool DatabaseWatch::storage_intact_since_commit() {
  const std::uint64_t commits = handler_.session().commits_made();
  if (intact_at_commit_ == commits) return true;
  return storage_intact();
}

bool DatabaseWatch::note_outcome(const FileReport& report) {
  if (report.database_refused) {
    tell_refusal(report.why);
    return true;
  }
  if (report.committed) {
    const std::string database = handler_.session().description();
    refusal_.clear(database, "The database " + database + " takes the loader's work again");
  }
  return false;
}

bool DatabaseWatch::tell_refusal(const std::string& why) {
  const std::string database = handler_.session().description();
  return refusal_.raise(
      {.detail = database + ": " + why,
       .headline = "The database " + database + " refuses the loader's work: " + why,
       .advice = "the files wait, and each scan tries the first of them again: check the "
                 "tables, the privileges and the space of the database"});
}

void DatabaseWatch::quiet_while_refused(const std::function<void()>& handle,
                                        const std::function<bool()>& refused_again) {
  if (!refusal_quiet()) {
    handle();
    return;
  }
  std::string held;
  outlets_.console.hold(&held);
  handle();
  outlets_.console.hold(nullptr);
  if (!refused_again()) outlets_.console.replay(held);
}

}  // namespace qx::scan
