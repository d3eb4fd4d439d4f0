// Choosing the backend for a target: the one place that knows both session
// classes, so that session.h stays the interface alone.
#pragma once

#include <memory>

#include "db/session.h"
#include "db/target.h"

namespace qx::db {

// Builds the session for a target; it is not connected yet.
std::unique_ptr<Session> make_session(const Target& target);

}  // namespace qx::db
