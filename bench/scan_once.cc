#include <chrono>
#include <optional>

#include "driver/env.h"
#include "driver/load_history.h"
#include "loader_bench.h"

namespace qx::bench {

void scan_once(driver::FileHandler& loader, const std::string& pattern, const Directories& dirs,
               std::FILE* out, const char* history_program) {
  driver::RealEnv env;
  std::optional<driver::LoadHistory> history;
  if (history_program != nullptr) history.emplace(loader.session(), history_program, "bench");
  driver::ScanLoop loop(env, loader,
                        {dirs.input.string(), dirs.backup.string(), pattern,
                         std::chrono::milliseconds(0), std::chrono::milliseconds(0), true},
                        out, history ? &*history : nullptr);
  loop.scan();
}

}  // namespace qx::bench
