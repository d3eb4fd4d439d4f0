#include "corvane/air_handlers.h"

#include <algorithm>

namespace qx::corvane {
namespace {

using S = SerialSource;
using C = Counter;

// The base build, in test order.
std::vector<AirHandler> base_handlers() {
  return {
      {"header", {"AM"}, {}, "qx_air_corvane", "air_", 12, S::none, C::shared, false, 0, true},
      {"A", {"A-"}, {"AITA"}, "qx_air_a", "aira_", 11},
      {"B", {"B-"}, {}, "qx_air_b", "airb_", 1},
      {"C", {"C-"}, {}, "qx_air_c", "airc_", 1},
      {"D", {"D-"}, {}, "qx_air_d", "aird_", 3},
      {"G", {"G-"}, {}, "qx_air_g", "airg_", 3},
      {"H", {"H-"}, {}, "qx_air_h", "airh_", 21, S::table_query, C::h},
      {"U", {"U-"}, {}, "qx_air_u", "airu_", 21, S::table_query, C::u},
      {"K", {"K-", "KF", "KN", "KS"}, {"TSA-"}, "qx_air_k", "airk_", 44, S::counter, C::shared},
      {"L", {"L-"}, {}, "qx_air_l", "airl_", 1, S::counter, C::shared},
      {"M", {"M-", "MU"}, {}, "qx_air_m", "airm_", 33, S::counter, C::shared},
      {"O", {"O-"}, {}, "qx_air_o", "airo_", 4, S::counter, C::shared},
      {"Q", {"Q-"}, {}, "qx_air_q", "airq_", 1, S::counter, C::shared},
      {"R", {"RM", "RI"}, {}, "qx_air_r", "airr_", 11, S::counter, C::r, true},
      {"I", {"I-"}, {}, "qx_air_i", "airi_", 6, S::counter, C::shared},
      {"S", {"S-"}, {}, "qx_air_s", "airs_", 2, S::counter, C::shared},
      {"T", {"T-"}, {}, "qx_air_t", "airt_", 1, S::counter, C::shared, true},
      {"V", {"V-"}, {}, "qx_air_v", "airv_", 1, S::counter, C::v, true},
      {"F",
       {"FM", "FP", "FT", "FV", "FE", "FH"},
       {},
       "qx_air_f",
       "airf_",
       3,
       S::counter,
       C::f,
       true},
      {"E", {"EN"}, {}, "qx_air_e", "aire_", 1},
  };
}

AirHandler& handler_named(std::vector<AirHandler>& table, std::string_view name) {
  return *std::find_if(table.begin(), table.end(),
                       [&](const AirHandler& h) { return h.name == name; });
}

// The other builds differ from the base in four handlers.
std::vector<AirHandler> build_handlers(AirBuild build) {
  auto table = base_handlers();
  if (build == AirBuild::base) return table;

  auto& a = handler_named(table, "A");
  a.tag4 = {};
  a.text_columns = 2;
  auto& r = handler_named(table, "R");
  r.tag2 = {"RM"};
  r.text_columns = 1;
  auto& u = handler_named(table, "U");
  u.serial = S::record;
  u.record_serial_length = 3;
  if (build != AirBuild::narrow) {
    auto& i = handler_named(table, "I");
    i.serial = S::record;
    i.record_serial_length = 2;
  }
  return table;
}

std::string numbered_placeholders(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) text += ',';
    text += ":b" + std::to_string(i);
  }
  return text;
}

}  // namespace

bool AirHandler::selects(std::string_view tag2_value, std::string_view tag4_value) const {
  auto in = [](const auto& tags, std::string_view value) {
    return std::any_of(tags.begin(), tags.end(),
                       [&](std::string_view tag) { return !tag.empty() && tag == value; });
  };
  return in(tag2, tag2_value) || in(tag4, tag4_value);
}

const std::vector<AirHandler>& handlers(AirBuild build) {
  static const std::vector<AirHandler> tables[] = {
      build_handlers(AirBuild::base), build_handlers(AirBuild::narrow),
      build_handlers(AirBuild::field_serial), build_handlers(AirBuild::field_serial_sqllib18)};
  return tables[static_cast<std::size_t>(build)];
}

std::string insert_statement(const AirHandler& handler, const AirBuildProfile& profile) {
  const std::string prefix(handler.prefix);
  std::string columns = prefix + "key";
  std::size_t values = 1;
  if (handler.header) {
    columns += "," + prefix + "reference";
    ++values;
  }
  if (handler.serial != SerialSource::none) {
    columns += "," + prefix + "serial";
    ++values;
  }
  for (std::size_t i = 0; i < handler.text_columns; ++i) {
    columns += "," + prefix + std::to_string(i);
    ++values;
  }
  return "insert into " + std::string(handler.table) +
         (profile.blank_before_parenthesis ? " (" : "(") + columns + ") values (" +
         numbered_placeholders(values) + ")";
}

std::string serial_query(const AirHandler& handler) {
  const std::string prefix(handler.prefix);
  return "select (COALESCE(max(" + prefix + "serial),0)+1) sector_serial  from " +
         std::string(handler.table) + " where " + prefix + "key=:b0";
}

}  // namespace qx::corvane
