// An AIR loader of a chosen build on a fresh SQLite database, fed lines as
// the driver feeds them (one commit per line), with its output captured.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "corvane/air_loader.h"
#include "support/sqlite_loader_test.h"

namespace qx::corvane {

class AirLoaderTest : public qx::testing::SqliteLoaderTest {
 protected:
  void use_build(AirBuild build) {
    connect("air.db");
    loader = std::make_unique<AirLoader>(*session, build, out.file());
  }
  void SetUp() override { use_build(AirBuild::base); }

  void load_file(const std::string& name, std::initializer_list<std::string> lines) {
    loader->begin_file(name);
    std::size_t number = 0;
    for (const auto& line : lines) {
      loader->process_line(line, ++number);
      ASSERT_TRUE(session->commit().ok());
    }
  }

  std::unique_ptr<AirLoader> loader;
};

}  // namespace qx::corvane
