// A built program running in the background, for the tests that end it from
// outside (a SIGKILL at a random moment, a SIGTERM at the end): its standard
// output and standard error go to a pipe that the test drains while it
// waits, so the program never blocks on a full pipe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qx::testing {

class LiveProgram {
 public:
  // Starts the built program `in_build` (program_run.h) with `args` in the
  // directory `dir`. Throws std::runtime_error when it cannot be started.
  LiveProgram(const std::string& in_build, const std::vector<std::string>& args,
              const std::filesystem::path& dir);
  // Kills the program if it still runs.
  ~LiveProgram();
  LiveProgram(const LiveProgram&) = delete;
  LiveProgram& operator=(const LiveProgram&) = delete;

  // Reads what the program prints until `text` appears in it at or after
  // offset `from` of output(), the program exits, or `timeout` passes. True
  // when the text appeared.
  bool wait_for_output(std::string_view text, std::chrono::milliseconds timeout,
                       std::size_t from = 0);
  // Reads what the program prints for `duration`, or until it exits.
  void run_for(std::chrono::microseconds duration);
  // Sends `signal` (unless it already exited) and waits for the end.
  // Returns the exit status, or -1 when a signal ended it.
  int stop(int signal);
  // Whether the program exited by itself (seen while reading or waiting).
  bool exited() const { return exited_; }
  const std::string& output() const { return output_; }

 private:
  // Reads what is there until `deadline`; stops early when `until` appears
  // at or after `from`.
  void read_until(std::chrono::steady_clock::time_point deadline, std::string_view until,
                  std::size_t from);
  // Reads what the pipe holds now (all of it, once the program exited).
  void drain();
  void reap(bool wait);

  pid_t pid_ = -1;
  int pipe_ = -1;
  bool exited_ = false;
  int status_ = 0;
  std::string output_;
};

}  // namespace qx::testing
