// What a build of the AIR loader must have stored after loading some
// files, worked out from the files alone with plain string handling: the
// independent account that end-to-end tests compare the tables with.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "corvane/air_build.h"
#include "support/table_reader.h"

namespace qx::corvane {

struct LoadedFile {
  std::string name;
  std::string contents;  // the bytes of the file
};

// For each table the loader writes, the rows expected, each as: the key as
// an integer, the file name (header table only), the serial (tables that
// have one), then every text column (UTF-8; NULL for empty), sorted.
std::map<std::string, std::vector<qx::testing::Row>> expected_air_rows(
    const std::vector<LoadedFile>& files_in_load_order, AirBuild build = AirBuild::base);

// The same rows read from a database, in the same shape and order.
std::map<std::string, std::vector<qx::testing::Row>> stored_air_rows(
    const qx::testing::TableReader& reader, AirBuild build = AirBuild::base);

}  // namespace qx::corvane
