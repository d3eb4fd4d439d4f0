// The four builds of the AIR loader. Each program is made for one build
// when it is compiled (its main passes a constant); nothing switches builds
// at run time. The builds differ only in the points described here and in
// the handler table (air_handlers.h).
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace qx::corvane {

enum class AirBuild { base, narrow, field_serial, field_serial_sqllib18 };

struct AirBuildProfile {
  AirBuild build;
  std::string_view name;  // "base", "narrow", ...
  // Characters an entry of the field table holds.
  std::size_t entry_limit;
  // The older runtime's insert texts have no blank between the table name
  // and the opening parenthesis.
  bool blank_before_parenthesis;
};

const AirBuildProfile& profile(AirBuild build);
std::optional<AirBuild> build_named(std::string_view name);

}  // namespace qx::corvane
