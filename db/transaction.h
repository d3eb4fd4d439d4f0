// Owners of a session's state for the length of a scope: the transaction in
// hand, which is rolled back when its scope ends without a commit, and a
// batch's row-failure mode (Session::set_row_failures_fail_transaction),
// which is set back when its scope ends; also when the scope ends in an
// exception.
#pragma once

#include "db/session.h"

namespace qx::db {

class [[nodiscard]] Transaction {
 public:
  explicit Transaction(Session& session) : session_(&session) {}
  ~Transaction() {
    // An uncommitted transaction is given up; a rollback that fails has
    // nothing left to undo (the session is not connected, and the server
    // dropped the transaction with the connection).
    if (session_ != nullptr) (void)session_->rollback();
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  // Makes the transaction permanent. Either way it is over: a failed commit
  // stored nothing and rolled back (Session::commit()).
  Status commit() {
    Session& session = *session_;
    session_ = nullptr;
    return session.commit();
  }
  // Gives the transaction up now rather than at the end of the scope.
  Status rollback() {
    Session& session = *session_;
    session_ = nullptr;
    return session.rollback();
  }

 private:
  Session* session_;
};

// With it, a write that fails for its row's own data fails the whole
// transaction, until its scope ends.
class [[nodiscard]] RowFailuresFail {
 public:
  explicit RowFailuresFail(Session& session) : session_(session) {
    session_.set_row_failures_fail_transaction(true);
  }
  ~RowFailuresFail() { session_.set_row_failures_fail_transaction(false); }
  RowFailuresFail(const RowFailuresFail&) = delete;
  RowFailuresFail& operator=(const RowFailuresFail&) = delete;

 private:
  Session& session_;
};

}  // namespace qx::db
