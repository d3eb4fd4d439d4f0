// Stopping a loader cleanly: SIGINT and SIGTERM ask the loader to finish the
// file in hand (its load and its move) and then exit 0. The pause between
// scans is cut short by a stop request.
#pragma once

#include <chrono>

#include "driver/env.h"

namespace qx::driver {

void install_stop_handlers();
bool stop_requested();
// Asks for a stop as a signal would; tests use it, and so could an embedder.
void request_stop();
// Takes a stop request back (tests that run several loops in one process).
void clear_stop_request();

// Sleeps `duration` through `env`, in short slices, returning early once a
// stop is requested.
void pause_unless_stopped(Env& env, std::chrono::milliseconds duration);

}  // namespace qx::driver
