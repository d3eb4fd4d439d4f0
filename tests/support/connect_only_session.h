// A session that is only ever asked whether it is connected: every
// statement succeeds without a database, and the test says when a connect
// succeeds and what the session is called. For tests of the scan loop, which
// needs a connection but no rows.
#pragma once

#include <string>
#include <utility>

#include "db/session.h"

namespace qx::testing {

class ConnectOnlySession : public db::Session {
 public:
  explicit ConnectOnlySession(std::string name = "test session") : name_(std::move(name)) {}

  int refuse_connects = 0;  // connects still to refuse
  int connects = 0;         // connects asked for
  bool is_connected = false;

  db::Status connect() override {
    ++connects;
    if (refuse_connects > 0) {
      --refuse_connects;
      return db::Status::failure(db::kNotConnected, "server not reachable");
    }
    is_connected = true;
    return db::Status::success();
  }
  bool connected() const override { return is_connected; }
  db::Status execute(std::string_view, std::span<const db::Bind>) override { return {}; }
  db::Status query_integer(std::string_view, std::span<const db::Bind>, std::int64_t&) override {
    return {};
  }
  db::Status query_text(std::string_view, std::span<const db::Bind>, std::string&) override {
    return {};
  }
  db::Status query_rows(std::string_view, std::span<const db::Bind>, db::Rows& out) override {
    out.reset(0);
    return {};
  }
  db::Status next_value(std::string_view, std::int64_t&) override { return {}; }
  db::Status commit() override { return {}; }
  db::Status rollback() override { return {}; }
  std::string description() const override { return name_; }

 private:
  std::string name_;
};

}  // namespace qx::testing
