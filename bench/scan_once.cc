#include <chrono>

#include "driver/env.h"
#include "loader_bench.h"

namespace qx::bench {

void scan_once(driver::FileHandler& loader, const std::string& pattern, const Directories& dirs,
               std::FILE* out) {
  driver::RealEnv env;
  driver::ScanLoop loop(env, loader,
                        {dirs.input.string(), dirs.backup.string(), pattern,
                         std::chrono::milliseconds(0), std::chrono::milliseconds(0), true},
                        out);
  loop.scan();
}

}  // namespace qx::bench
