#include "corvane/air_handlers.h"

#include <algorithm>

namespace qx::corvane {
namespace {

using S = SerialSource;
using C = Counter;

// The base build, in test order. A field a row leaves out keeps the default
// that AirHandler gives it: no tag4, no serial, no header.
std::vector<AirHandler> base_handlers() {
  return {
      {.name = "header",
       .tag2 = {"AM"},
       .table = "qx_air_corvane",
       .prefix = "air_",
       .text_columns = 12,
       .header = true},
      {.name = "A",
       .tag2 = {"A-"},
       .tag4 = {"AITA"},
       .table = "qx_air_a",
       .prefix = "aira_",
       .text_columns = 11},
      {.name = "B", .tag2 = {"B-"}, .table = "qx_air_b", .prefix = "airb_", .text_columns = 1},
      {.name = "C", .tag2 = {"C-"}, .table = "qx_air_c", .prefix = "airc_", .text_columns = 1},
      {.name = "D", .tag2 = {"D-"}, .table = "qx_air_d", .prefix = "aird_", .text_columns = 3},
      {.name = "G", .tag2 = {"G-"}, .table = "qx_air_g", .prefix = "airg_", .text_columns = 3},
      {.name = "H",
       .tag2 = {"H-"},
       .table = "qx_air_h",
       .prefix = "airh_",
       .text_columns = 21,
       .serial = S::table_query,
       .counter = C::h},
      {.name = "U",
       .tag2 = {"U-"},
       .table = "qx_air_u",
       .prefix = "airu_",
       .text_columns = 21,
       .serial = S::table_query,
       .counter = C::u},
      {.name = "K",
       .tag2 = {"K-", "KF", "KN", "KS"},
       .tag4 = {"TSA-"},
       .table = "qx_air_k",
       .prefix = "airk_",
       .text_columns = 44,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "L",
       .tag2 = {"L-"},
       .table = "qx_air_l",
       .prefix = "airl_",
       .text_columns = 1,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "M",
       .tag2 = {"M-", "MU"},
       .table = "qx_air_m",
       .prefix = "airm_",
       .text_columns = 33,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "O",
       .tag2 = {"O-"},
       .table = "qx_air_o",
       .prefix = "airo_",
       .text_columns = 4,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "Q",
       .tag2 = {"Q-"},
       .table = "qx_air_q",
       .prefix = "airq_",
       .text_columns = 1,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "R",
       .tag2 = {"RM", "RI"},
       .table = "qx_air_r",
       .prefix = "airr_",
       .text_columns = 11,
       .serial = S::counter,
       .counter = C::r,
       .raise_after = true},
      {.name = "I",
       .tag2 = {"I-"},
       .table = "qx_air_i",
       .prefix = "airi_",
       .text_columns = 6,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "S",
       .tag2 = {"S-"},
       .table = "qx_air_s",
       .prefix = "airs_",
       .text_columns = 2,
       .serial = S::counter,
       .counter = C::shared},
      {.name = "T",
       .tag2 = {"T-"},
       .table = "qx_air_t",
       .prefix = "airt_",
       .text_columns = 1,
       .serial = S::counter,
       .counter = C::shared,
       .raise_after = true},
      {.name = "V",
       .tag2 = {"V-"},
       .table = "qx_air_v",
       .prefix = "airv_",
       .text_columns = 1,
       .serial = S::counter,
       .counter = C::v,
       .raise_after = true},
      {.name = "F",
       .tag2 = {"FM", "FP", "FT", "FV", "FE", "FH"},
       .table = "qx_air_f",
       .prefix = "airf_",
       .text_columns = 3,
       .serial = S::counter,
       .counter = C::f,
       .raise_after = true},
      {.name = "E", .tag2 = {"EN"}, .table = "qx_air_e", .prefix = "aire_", .text_columns = 1},
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

std::string insert_with_serial_query(const AirHandler& handler, const AirBuildProfile& profile) {
  const std::string prefix(handler.prefix);
  const std::string insert = insert_statement(handler, profile);
  // The columns as insert_statement names them, the same values in the
  // same order, the serial's being the query's.
  std::string text = insert.substr(0, insert.find(") values (") + 1) + " select :b0";
  std::size_t bind = 1;
  if (handler.header) text += ",:b" + std::to_string(bind++);
  text += ",(COALESCE(max(" + prefix + "serial),0)+1)";
  for (std::size_t i = 0; i < handler.text_columns; ++i) text += ",:b" + std::to_string(bind++);
  text +=
      " from " + std::string(handler.table) + " where " + prefix + "key=:b" + std::to_string(bind);
  return text;
}

std::string array_insert_statement(const AirHandler& handler, const AirBuildProfile& profile) {
  const std::string prefix(handler.prefix);
  const std::string table(handler.table);
  const std::string insert = insert_statement(handler, profile);
  std::string arrays, names, values;
  std::size_t bind = 0;
  auto column = [&](const char* type) {
    const std::string n = std::to_string(bind++);
    if (!arrays.empty()) {
      arrays += ',';
      names += ',';
      values += ',';
    }
    arrays += "cast(:b" + n + " as " + type + "[])";
    names += "c" + n;
    values += "u.c" + n;
  };
  column("float8");
  if (handler.header) column("text");
  if (handler.serial == SerialSource::table_query) {
    values += ",(COALESCE((select max(t." + prefix + "serial) from " + table + " t where t." +
              prefix + "key=u.c0),0)+row_number() over (partition by u.c0 order by u.n))";
  } else if (handler.serial != SerialSource::none) {
    column("bigint");
  }
  for (std::size_t i = 0; i < handler.text_columns; ++i) column("text");
  return insert.substr(0, insert.find(") values (") + 1) + " select " + values + " from unnest(" +
         arrays + ") with ordinality as u(" + names + ",n)";
}

std::string copy_target(const AirHandler& handler, const AirBuildProfile& profile) {
  if (handler.serial == SerialSource::table_query) return {};
  const std::string insert = insert_statement(handler, profile);
  constexpr std::string_view kInsertInto = "insert into ";
  return insert.substr(kInsertInto.size(), insert.find(") values (") + 1 - kInsertInto.size());
}

std::string serial_query(const AirHandler& handler) {
  const std::string prefix(handler.prefix);
  return "select (COALESCE(max(" + prefix + "serial),0)+1) sector_serial  from " +
         std::string(handler.table) + " where " + prefix + "key=:b0";
}

}  // namespace qx::corvane
