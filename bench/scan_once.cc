#include <chrono>
#include <optional>

#include "history/load_history.h"
#include "loader_bench.h"
#include "os/env.h"

namespace qx::bench {

scan::ScanSettings once_settings(const std::string& pattern, const Directories& dirs,
                                 scan::BatchLimits batch) {
  scan::ScanSettings settings{dirs.input.string(),          dirs.backup.string(),         pattern,
                              std::chrono::milliseconds(0), std::chrono::milliseconds(0), true};
  settings.batch = batch;
  return settings;
}

void scan_once(scan::FileHandler& files, const std::string& pattern, const Directories& dirs,
               std::FILE* out, const char* history_program, scan::BatchLimits batch) {
  os::RealEnv env;
  std::optional<history::LoadHistory> history;
  if (history_program != nullptr) history.emplace(files.session(), history_program, "bench");
  scan::ScanLoop loop(env, files, once_settings(pattern, dirs, batch), out,
                      history ? &*history : nullptr);
  loop.scan();
}

}  // namespace qx::bench
