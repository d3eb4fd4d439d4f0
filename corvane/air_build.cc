#include "corvane/air_build.h"

namespace qx::corvane {
namespace {

constexpr AirBuildProfile kProfiles[] = {
    {AirBuild::base, "base", 1255, true},
    {AirBuild::narrow, "narrow", 1255, true},
    {AirBuild::field_serial, "field_serial", 1999, true},
    {AirBuild::field_serial_sqllib18, "field_serial_sqllib18", 1999, false},
};

}  // namespace

const AirBuildProfile& profile(AirBuild build) {
  for (const auto& p : kProfiles) {
    if (p.build == build) return p;
  }
  return kProfiles[0];
}

std::optional<AirBuild> build_named(std::string_view name) {
  for (const auto& p : kProfiles) {
    if (p.name == name) return p.build;
  }
  return std::nullopt;
}

}  // namespace qx::corvane
