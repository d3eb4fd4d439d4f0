// Stopping a loader cleanly: SIGINT, SIGTERM and SIGHUP (a closed terminal)
// ask the loader to finish the file in hand (its load and its move) and then
// exit 0. The pause between scans is cut short by a stop request. SIGPIPE is
// ignored: a console nobody reads any more must never stop a load (a failed
// write is simply lost).
#pragma once

#include <chrono>

#include "os/env.h"

namespace qx::os {

// Installs the above for the whole process; called before anything is
// printed.
void install_stop_handlers();
bool stop_requested();
// Asks for a stop as a signal would; tests use it, and so could an embedder.
void request_stop();
// Takes a stop request back (tests that run several loops in one process).
void clear_stop_request();

// Sleeps `duration` through `env`, in short slices, returning early once a
// stop is requested.
void pause_unless_stopped(Env& env, std::chrono::milliseconds duration);

}  // namespace qx::os
