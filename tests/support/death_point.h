// A process that dies at a chosen call: the test-support fakes (FaultyEnv,
// FaultySession) count their calls on a shared DeathPoint, and the call
// numbered `at` ends the process with _exit(137) before it reaches the file
// system or the database, as a SIGKILL would at that moment. Used in a
// forked child, so that the parent can look at what the death left behind.
#pragma once

#include <unistd.h>

namespace qx::testing {

// The status a process killed at its death point exits with.
inline constexpr int kDeathExitStatus = 137;

struct DeathPoint {
  // The call that is not made: the process ends instead; 0 for none.
  int at = 0;
  // Calls counted so far, over every fake that shares this point.
  int calls = 0;

  // Counts one call, and ends the process if it is the chosen one.
  void count() {
    if (++calls == at) ::_exit(kDeathExitStatus);
  }
};

}  // namespace qx::testing
