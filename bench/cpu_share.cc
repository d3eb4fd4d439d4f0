#include "cpu_share.h"

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace qx::bench {

std::optional<ProcessTimes> process_times(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(stat, text)) return std::nullopt;
  // The command name may hold spaces: the fields are counted after its
  // closing parenthesis; utime and stime are fields 14 and 15.
  const auto name_end = text.rfind(')');
  if (name_end == std::string::npos) return std::nullopt;
  std::istringstream fields(text.substr(name_end + 2));
  std::string field;
  for (int i = 3; i < 14 && fields >> field; ++i) {
  }
  long long user_ticks = 0, kernel_ticks = 0;
  if (!(fields >> user_ticks >> kernel_ticks)) return std::nullopt;
  const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return ProcessTimes{user_ticks / ticks, kernel_ticks / ticks};
}

CpuShareMeter::CpuShareMeter(std::optional<pid_t> server_pid)
    : server_pid_(server_pid),
      start_(std::chrono::steady_clock::now()),
      client_start_(process_times(getpid()).value_or(ProcessTimes{})),
      server_start_(server_pid ? process_times(*server_pid) : std::nullopt) {}

CpuShare CpuShareMeter::share() const {
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  CpuShare share;
  if (wall <= 0) return share;
  const ProcessTimes client = process_times(getpid()).value_or(client_start_);
  share.client_user = (client.user - client_start_.user) / wall;
  share.client_kernel = (client.kernel - client_start_.kernel) / wall;
  if (server_pid_ && server_start_) {
    if (auto server = process_times(*server_pid_)) {
      share.server =
          (server->user + server->kernel - server_start_->user - server_start_->kernel) / wall;
    }
  }
  return share;
}

}  // namespace qx::bench
