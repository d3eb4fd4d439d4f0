// Files that look as if they were still being written, and clocks the test
// sets: every modification time that list_directory reports is moved by
// `modified_shift`, and now() and steady_now() return the set times. A test
// that advances the clock between scans, and stamps a file with it as it
// grows, shows the settle check a writer that keeps the file changing.
// Everything else goes to the Env it wraps.
#pragma once

#include <chrono>
#include <optional>

#include "os/env_wrapper.h"

namespace qx::testing {

class GrowingFilesEnv : public os::EnvWrapper {
 public:
  explicit GrowingFilesEnv(os::Env& target) : EnvWrapper(target) {}

  // Added to every modification time that list_directory reports.
  std::chrono::milliseconds modified_shift{0};
  // What now() returns, when set; the wrapped Env's clock otherwise.
  std::optional<std::chrono::system_clock::time_point> clock;
  // What steady_now() returns, when set; the wrapped Env's otherwise.
  std::optional<std::chrono::steady_clock::time_point> steady;

  os::IoResult list_directory(const std::filesystem::path& dir,
                              std::vector<os::DirectoryEntry>& entries) override {
    os::IoResult result = EnvWrapper::list_directory(dir, entries);
    for (auto& entry : entries) entry.modified += modified_shift;
    return result;
  }
  std::chrono::system_clock::time_point now() override {
    return clock ? *clock : EnvWrapper::now();
  }
  std::chrono::steady_clock::time_point steady_now() override {
    return steady ? *steady : EnvWrapper::steady_now();
  }
};

}  // namespace qx::testing
