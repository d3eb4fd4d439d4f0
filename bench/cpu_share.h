// Where a timed run's time went: the share of its wall time that the
// client process spent on the CPU in user space and in the kernel, and the
// share the database server's process for its connection spent (a
// PostgreSQL backend; nothing for SQLite, which runs inside the client).
// What is left is waiting: for the disk's syncs, or for each other, when
// one connection does the client's and the server's work in turn.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>

namespace qx::bench {

struct CpuShare {
  double client_user = 0;
  double client_kernel = 0;
  double server = 0;
};

// The CPU times of a process so far, in seconds; nothing when /proc does
// not show it (another user's process, or one that ended).
struct ProcessTimes {
  double user = 0;
  double kernel = 0;
};
std::optional<ProcessTimes> process_times(pid_t pid);

// Counts from construction to share(): the client is this process; the
// server is `server_pid` when it is given.
class CpuShareMeter {
 public:
  explicit CpuShareMeter(std::optional<pid_t> server_pid);
  CpuShare share() const;

 private:
  std::optional<pid_t> server_pid_;
  std::chrono::steady_clock::time_point start_;
  ProcessTimes client_start_;
  std::optional<ProcessTimes> server_start_;
};

}  // namespace qx::bench
