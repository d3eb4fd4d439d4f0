#include "memory_run.h"

#include <malloc.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "sample_backlog.h"
#include "support/temp_dir.h"

extern char** environ;

namespace qx::bench {
namespace {

// A "Vm...:" value of /proc/PID/status, in KiB; 0 once the process is gone.
long status_kib(pid_t pid, const std::string& field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == field) {
      long kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

}  // namespace

MemoryResult measure_memory(const LoaderBench& loader, Backend backend, int files,
                            const ThroughputOptions& options) {
  qx::testing::TempDir dir;
  auto in = dir.make_dir("in");
  auto backup = dir.make_dir("backup");
  // Written and freed before the loader starts: the benchmark's own memory
  // must not be counted as the loader's.
  for (const auto& file : generate_files(loader, files, options)) {
    qx::testing::write_file(in / file.name, file.contents);
  }
  malloc_trim(0);
  BenchDatabase database(backend);

  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<std::string> args = {loader.program,         "--once", "--settle-ms=0",
                                   database.target_text(), "-",      in.string(),
                                   backup.string()};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  auto start = std::chrono::steady_clock::now();
  int rc = posix_spawn(&pid, loader.program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) throw std::runtime_error("cannot start " + loader.program);

  MemoryResult result;
  result.files = files;
  const std::string marker = "Currently Processing ";
  std::string pending;
  int taken = 0;
  char buffer[1 << 16];
  ssize_t n;
  while ((n = read(pipe_fds[0], buffer, sizeof buffer)) > 0) {
    pending.append(buffer, static_cast<std::size_t>(n));
    for (auto at = pending.find(marker); at != std::string::npos;
         at = pending.find(marker, at + 1)) {
      ++taken;
      if (taken == 1000) result.first_thousand_kib = status_kib(pid, "VmRSS:");
      if (taken > files - 1000) {
        result.last_thousand_kib = std::max(result.last_thousand_kib, status_kib(pid, "VmRSS:"));
      }
      // The high-water mark of the program itself (the kernel's figure at
      // exit would count the memory it shared with this process before it
      // started).
      result.peak_kib = std::max(result.peak_kib, status_kib(pid, "VmHWM:"));
    }
    // Keep only what could still begin a marker.
    const std::size_t keep = marker.size() - 1;
    pending.erase(0, pending.size() > keep ? pending.size() - keep : 0);
  }
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || taken != files) {
    throw std::runtime_error(loader.name + " memory run: " + std::to_string(taken) + " of " +
                             std::to_string(files) + " files taken");
  }
  return result;
}

}  // namespace qx::bench
