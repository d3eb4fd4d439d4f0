#include "support/faulty_session.h"

#include <optional>

namespace qx::testing {

FaultySession::FaultySession(std::unique_ptr<db::Session> real) : real_(std::move(real)) {
  real_->set_failure_sink([this](const db::Status& status) { report_deferred_failure(status); });
}

std::optional<db::Status> FaultySession::injected() {
  if (death != nullptr) death->count();
  ++calls;
  if (act && calls == act_at) act();
  if (disconnected_) return db::Status::failure(db::kNotConnected);
  const bool fails = fail_at > 0 && (calls == fail_at || (fail_for_ever && calls > fail_at));
  if (!fails) return std::nullopt;
  if (failure.code == db::kNotConnected) {
    // The lost connection is the failure this call reports; the real
    // transaction only has to be gone.
    (void)real_->rollback();
    disconnected_ = true;
  }
  return failure;
}

db::Status FaultySession::connect() {
  auto status = real_->connect();
  if (status.ok()) disconnected_ = false;
  return status;
}

db::Status FaultySession::execute(std::string_view sql, std::span<const db::Bind> binds) {
  if (auto status = injected()) return *status;
  return real_->execute(sql, binds);
}

db::Status FaultySession::execute_account(std::string_view sql, const AccountValues& values) {
  if (auto status = injected()) return *status;
  return real_->execute_account(sql, values);
}

void FaultySession::work_first_when_set() {
  if (!work_first || !real_->works_while_waiting()) return;
  while (run_waiting_step()) {
  }
}

db::Status FaultySession::copy_tables(std::span<const db::CopiedTable> tables) {
  work_first_when_set();
  if (auto status = injected()) return *status;
  db::Status status = real_->copy_tables(tables);
  if (status.failed()) ++copies_failed;
  return status;
}

db::Status FaultySession::query_integer(std::string_view sql, std::span<const db::Bind> binds,
                                        std::int64_t& out) {
  if (auto status = injected()) return *status;
  return real_->query_integer(sql, binds, out);
}

db::Status FaultySession::query_text(std::string_view sql, std::span<const db::Bind> binds,
                                     std::string& out) {
  if (auto status = injected()) {
    out.clear();
    return *status;
  }
  return real_->query_text(sql, binds, out);
}

db::Status FaultySession::query_rows(std::string_view sql, std::span<const db::Bind> binds,
                                     db::Rows& out) {
  if (auto status = injected()) {
    out.reset(0);
    return *status;
  }
  return real_->query_rows(sql, binds, out);
}

bool FaultySession::draw_fails() {
  ++draws;
  return fail_draw_at > 0 && draws >= fail_draw_at && draws < fail_draw_at + draws_failing;
}

db::Status FaultySession::next_value(std::string_view sequence, std::int64_t& out) {
  if (auto status = injected()) return *status;
  if (draw_fails()) return failure;
  return real_->next_value(sequence, out);
}

db::Status FaultySession::next_values(std::string_view sequence, std::span<std::int64_t> out) {
  if (auto status = injected()) return *status;
  if (draw_fails()) return failure;
  return real_->next_values(sequence, out);
}

db::Status FaultySession::commit() {
  work_first_when_set();
  std::optional<db::Status> status = injected();
  if (!status && ++commits == fail_commit_at) status = failure;
  if (status) {
    // The failed commit is what this call reports; the real transaction only
    // has to be gone, as after a failed commit.
    if (!disconnected_) (void)real_->rollback();
    if (status->code == db::kNotConnected) disconnected_ = true;
    return *status;
  }
  return real_->commit();
}

db::Status FaultySession::rollback() {
  if (disconnected_) return db::Status::failure(db::kNotConnected);
  return real_->rollback();
}

}  // namespace qx::testing
