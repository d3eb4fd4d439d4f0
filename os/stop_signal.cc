#include "os/stop_signal.h"

#include <algorithm>
#include <atomic>
#include <csignal>

namespace qx::os {
namespace {

// Lock-free so that the signal handler may set it.
std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void on_stop_signal(int) {
  g_stop.store(true);
}

constexpr std::chrono::milliseconds kPauseSlice{50};

}  // namespace

void install_stop_handlers() {
  for (int stop_signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(stop_signal, on_stop_signal);
  std::signal(SIGPIPE, SIG_IGN);
}

bool stop_requested() {
  return g_stop.load();
}
void request_stop() {
  g_stop.store(true);
}
void clear_stop_request() {
  g_stop.store(false);
}

void pause_unless_stopped(Env& env, std::chrono::milliseconds duration) {
  while (duration.count() > 0 && !stop_requested()) {
    auto slice = std::min(duration, kPauseSlice);
    env.sleep_for(slice);
    duration -= slice;
  }
}

}  // namespace qx::os
