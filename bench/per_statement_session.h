// The statement traffic of the per-field design, for its baseline: every
// write waits for the server's answer before the next statement goes, as
// one statement per call to the database does. Wraps a real session; on
// SQLite, whose statements run in the process, it changes nothing.
#pragma once

#include <memory>

#include "db/session.h"

namespace qx::bench {

class PerStatementSession : public db::Session {
 public:
  PerStatementSession(db::Session& inner, bool wait_for_each_write)
      : inner_(inner), wait_(wait_for_each_write) {}

  db::Status connect() override { return inner_.connect(); }
  bool connected() const override { return inner_.connected(); }
  db::Status execute(std::string_view sql, std::span<const db::Bind> binds) override {
    db::Status status = inner_.execute(sql, binds);
    if (wait_ && status.ok()) {
      // A query cannot be answered before the writes ahead of it: the
      // write's round trip is taken here, as the per-field design takes it.
      std::int64_t one = 0;
      // Only the wait is wanted: the benchmark checks what was stored by
      // counting the rows afterwards.
      (void)inner_.query_integer("select 1", {}, one);
    }
    return status;
  }
  db::Status query_integer(std::string_view sql, std::span<const db::Bind> binds,
                           std::int64_t& out) override {
    return inner_.query_integer(sql, binds, out);
  }
  db::Status query_text(std::string_view sql, std::span<const db::Bind> binds,
                        std::string& out) override {
    return inner_.query_text(sql, binds, out);
  }
  db::Status query_rows(std::string_view sql, std::span<const db::Bind> binds,
                        db::Rows& out) override {
    return inner_.query_rows(sql, binds, out);
  }
  db::Status next_value(std::string_view sequence, std::int64_t& out) override {
    return inner_.next_value(sequence, out);
  }
  db::Status commit() override { return inner_.commit(); }
  void set_work_while_waiting(std::function<bool()> step) override {
    inner_.set_work_while_waiting(std::move(step));
  }
  bool works_while_waiting() const override { return inner_.works_while_waiting(); }
  db::Status rollback() override { return inner_.rollback(); }
  std::string description() const override { return inner_.description(); }

 private:
  db::Session& inner_;
  bool wait_;
};

}  // namespace qx::bench
