// A real database session with failures on demand, for fault sweeps: the Nth
// counted call (execute, execute_account, copy_tables, query_integer, query_text,
// query_rows, next_value, next_values and commit, counted from 1 over the session's life) fails
// with a chosen Status instead of reaching the database, once or for ever from then on. Every other
// call, and every call not made to fail, passes through to the real session (an account write as an
// account write, so that a backend that holds writes back keeps its own rules; its advisory locks
// too); failures the real session defers reach this session's failure sink. With a DeathPoint the
// process can instead end at a counted call, before the call reaches the database (death_point.h),
// and an action can run just before a counted call reaches it (to end the server's process, say).
//
// A failure with kNotConnected (the default: a lost connection) behaves like
// one: the real session's transaction is rolled back, connected() is false,
// and every operation fails with kNotConnected until connect() succeeds. A
// commit made to fail rolls the real transaction back whatever the failure,
// as a failed commit does.
#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "db/session.h"
#include "support/death_point.h"

namespace qx::testing {

class FaultySession final : public db::Session {
 public:
  explicit FaultySession(std::unique_ptr<db::Session> real);

  // The counted call that fails first; 0 fails none.
  int fail_at = 0;
  // Every counted call from fail_at on fails, not only that one.
  bool fail_for_ever = false;
  db::Status failure = db::Status::failure(db::kNotConnected, "connection to the server was lost");
  // Counted calls so far.
  int calls = 0;
  // The commit, counted from 1 among commits alone, that fails once with
  // `failure` (a commit counts among the calls as well); 0 for none.
  int fail_commit_at = 0;
  int commits = 0;
  // The draw (next_value, or next_values for all it draws), counted from 1
  // among draws alone, from which
  // `draws_failing` draws in a row fail with `failure`; 0 for none.
  int fail_draw_at = 0;
  int draws_failing = 1;
  int draws = 0;
  // Calls of copy_tables that reached the real session and failed there.
  int copies_failed = 0;
  // A server that answers late: on a session that works while it waits,
  // the work set for the client runs whole before each copy and commit.
  bool work_first = false;
  // When set, every counted call counts on it first.
  DeathPoint* death = nullptr;
  // Runs just before the `act_at`th counted call goes on to the real
  // session; 0 for none.
  int act_at = 0;
  std::function<void()> act;

  db::Status connect() override;
  bool connected() const override { return !disconnected_ && real_->connected(); }
  db::Status execute(std::string_view sql, std::span<const db::Bind> binds) override;
  db::Status execute_account(std::string_view sql, const AccountValues& values) override;
  bool has_advisory_locks() const override { return real_->has_advisory_locks(); }
  bool binds_arrays() const override { return real_->binds_arrays(); }
  bool copies_rows() const override { return real_->copies_rows(); }
  db::Status copy_tables(std::span<const db::CopiedTable> tables) override;
  void set_row_failures_fail_transaction(bool on) override {
    real_->set_row_failures_fail_transaction(on);
  }
  db::Status query_integer(std::string_view sql, std::span<const db::Bind> binds,
                           std::int64_t& out) override;
  db::Status query_text(std::string_view sql, std::span<const db::Bind> binds,
                        std::string& out) override;
  db::Status query_rows(std::string_view sql, std::span<const db::Bind> binds,
                        db::Rows& out) override;
  db::Status next_value(std::string_view sequence, std::int64_t& out) override;
  db::Status next_values(std::string_view sequence, std::span<std::int64_t> out) override;
  db::Status commit() override;
  void set_work_while_waiting(std::function<bool()> step) override {
    if (work_first) {
      Session::set_work_while_waiting(std::move(step));
    } else {
      real_->set_work_while_waiting(std::move(step));
    }
  }
  bool works_while_waiting() const override { return real_->works_while_waiting(); }
  db::Status rollback() override;
  std::string description() const override { return real_->description(); }
  std::string storage_problem() override { return real_->storage_problem(); }
  std::uint64_t commits_made() const override { return real_->commits_made(); }

 private:
  // Counts the call; the Status it fails with, or nothing when it goes on.
  std::optional<db::Status> injected();
  // Runs the work set for the client to its end, with work_first.
  void work_first_when_set();
  // Counts a draw; true when it is to fail.
  bool draw_fails();

  std::unique_ptr<db::Session> real_;
  bool disconnected_ = false;
};

}  // namespace qx::testing
