#include <chrono>
#include <optional>

#include "driver/env.h"
#include "driver/load_history.h"
#include "loader_bench.h"

namespace qx::bench {

driver::ScanSettings once_settings(const std::string& pattern, const Directories& dirs,
                                   driver::BatchLimits batch) {
  driver::ScanSettings settings{dirs.input.string(),          dirs.backup.string(),         pattern,
                                std::chrono::milliseconds(0), std::chrono::milliseconds(0), true};
  settings.batch = batch;
  return settings;
}

void scan_once(driver::FileHandler& files, const std::string& pattern, const Directories& dirs,
               std::FILE* out, const char* history_program, driver::BatchLimits batch) {
  driver::RealEnv env;
  std::optional<driver::LoadHistory> history;
  if (history_program != nullptr) history.emplace(files.session(), history_program, "bench");
  driver::ScanLoop loop(env, files, once_settings(pattern, dirs, batch), out,
                        history ? &*history : nullptr);
  loop.scan();
}

}  // namespace qx::bench
