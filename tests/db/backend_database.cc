#include "backend_database.h"

#include <stdexcept>

namespace qx::testing {

std::string backend_name(Backend backend) {
  return backend == Backend::sqlite ? "sqlite" : "postgres";
}

BackendDatabase::BackendDatabase(Backend backend, bool with_schema) : backend_(backend) {
  if (backend == Backend::sqlite) {
    dir_.emplace();
    target_text_ = "qx@sqlite:" + (dir_->path() / "loader.sqlite").string();
  } else {
    postgres_.emplace(with_schema);
    target_text_ = postgres_->target_text();
  }
  target_ = db::parse_target(target_text_, "");
}

TableReader BackendDatabase::reader() const {
  return postgres_ ? TableReader::postgres(test_server_conninfo(postgres_->name()))
                   : TableReader::sqlite((dir_->path() / "loader.sqlite").string());
}

std::unique_ptr<db::Session> BackendDatabase::connect() const {
  auto session = db::make_session(target_);
  if (auto status = session->connect(); status.failed()) {
    throw std::runtime_error("cannot connect to " + target_.display() + ": " + status.message);
  }
  return session;
}

void BackendDatabase::run(const std::string& sql) const {
  if (postgres_) {
    postgres_->run(sql);
    return;
  }
  auto session = connect();
  auto status = session->execute(sql, {});
  if (status.ok()) status = session->commit();
  if (status.failed()) throw std::runtime_error(sql + ": " + status.message);
}

}  // namespace qx::testing
