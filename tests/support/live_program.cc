#include "support/live_program.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "support/program_run.h"

namespace qx::testing {

LiveProgram::LiveProgram(const std::string& in_build, const std::vector<std::string>& args,
                         const std::filesystem::path& dir) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  try {
    pid_ = start_built_program(in_build, args, dir, ends[1]);
  } catch (...) {
    ::close(ends[0]);
    ::close(ends[1]);
    throw;
  }
  ::close(ends[1]);
  pipe_ = ends[0];
  ::fcntl(pipe_, F_SETFL, O_NONBLOCK);
}

LiveProgram::~LiveProgram() {
  if (!exited_) stop(SIGKILL);
  if (pipe_ >= 0) ::close(pipe_);
}

void LiveProgram::reap(bool wait) {
  if (exited_) return;
  int status = 0;
  if (::waitpid(pid_, &status, wait ? 0 : WNOHANG) == pid_) {
    exited_ = true;
    status_ = status;
  }
}

void LiveProgram::read_until(std::chrono::steady_clock::time_point deadline, std::string_view until,
                             std::size_t from) {
  char buffer[4096];
  while (true) {
    if (!until.empty() && output_.find(until, from) != std::string::npos) return;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd watched{pipe_, POLLIN, 0};
    // Short slices, so that a program that exits is noticed soon.
    int ready = ::poll(&watched, 1, static_cast<int>(std::min<long>(left.count(), 20)));
    if (ready > 0) {
      ssize_t got = ::read(pipe_, buffer, sizeof buffer);
      if (got > 0) output_.append(buffer, static_cast<std::size_t>(got));
    }
    reap(false);
    if (exited_) return drain();
  }
}

void LiveProgram::drain() {
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(pipe_, buffer, sizeof buffer)) > 0) {
    output_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool LiveProgram::wait_for_output(std::string_view text, std::chrono::milliseconds timeout,
                                  std::size_t from) {
  read_until(std::chrono::steady_clock::now() + timeout, text, from);
  return output_.find(text, from) != std::string::npos;
}

void LiveProgram::run_for(std::chrono::microseconds duration) {
  read_until(std::chrono::steady_clock::now() + duration, {}, 0);
}

int LiveProgram::stop(int signal) {
  if (!exited_) {
    ::kill(pid_, signal);
    reap(true);
  }
  drain();
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
}

}  // namespace qx::testing
