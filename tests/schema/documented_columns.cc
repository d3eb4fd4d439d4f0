#include "schema/documented_columns.h"

#include <stdexcept>

namespace qx::testing {

const std::vector<std::string_view>& air_widest_inserts() {
  static const std::vector<std::string_view> texts = {
      "insert into qx_air_corvane "
      "(air_key,air_reference,air_0,air_1,air_2,air_3,air_4,air_5,air_6,air_7,air_8,air_9,air_10,"
      "air_11) values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13)",
      "insert into qx_air_a "
      "(aira_key,aira_0,aira_1,aira_2,aira_3,aira_4,aira_5,aira_6,aira_7,aira_8,aira_9,aira_10) "
      "values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11)",
      "insert into qx_air_b (airb_key,airb_0) values (:b0,:b1)",
      "insert into qx_air_c (airc_key,airc_0) values (:b0,:b1)",
      "insert into qx_air_d (aird_key,aird_0,aird_1,aird_2) values (:b0,:b1,:b2,:b3)",
      "insert into qx_air_g (airg_key,airg_0,airg_1,airg_2) values (:b0,:b1,:b2,:b3)",
      "insert into qx_air_e (aire_key,aire_0) values (:b0,:b1)",
      "insert into qx_air_h "
      "(airh_key,airh_serial,airh_0,airh_1,airh_2,airh_3,airh_4,airh_5,airh_6,airh_7,airh_8,airh_9,"
      "airh_10,airh_11,airh_12,airh_13,airh_14,airh_15,airh_16,airh_17,airh_18,airh_19,airh_20) "
      "values "
      "(:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,:b19,:"
      "b20,:b21,:b22)",
      "insert into qx_air_u "
      "(airu_key,airu_serial,airu_0,airu_1,airu_2,airu_3,airu_4,airu_5,airu_6,airu_7,airu_8,airu_9,"
      "airu_10,airu_11,airu_12,airu_13,airu_14,airu_15,airu_16,airu_17,airu_18,airu_19,airu_20) "
      "values "
      "(:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,:b19,:"
      "b20,:b21,:b22)",
      "insert into qx_air_k "
      "(airk_key,airk_serial,airk_0,airk_1,airk_2,airk_3,airk_4,airk_5,airk_6,airk_7,airk_8,airk_9,"
      "airk_10,airk_11,airk_12,airk_13,airk_14,airk_15,airk_16,airk_17,airk_18,airk_19,airk_20,"
      "airk_21,airk_22,airk_23,airk_24,airk_25,airk_26,airk_27,airk_28,airk_29,airk_30,airk_31,"
      "airk_32,airk_33,airk_34,airk_35,airk_36,airk_37,airk_38,airk_39,airk_40,airk_41,airk_42,"
      "airk_43) values "
      "(:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,:b19,:"
      "b20,:b21,:b22,:b23,:b24,:b25,:b26,:b27,:b28,:b29,:b30,:b31,:b32,:b33,:b34,:b35,:b36,:b37,:"
      "b38,:b39,:b40,:b41,:b42,:b43,:b44,:b45)",
      "insert into qx_air_l (airl_key,airl_serial,airl_0) values (:b0,:b1,:b2)",
      "insert into qx_air_m "
      "(airm_key,airm_serial,airm_0,airm_1,airm_2,airm_3,airm_4,airm_5,airm_6,airm_7,airm_8,airm_9,"
      "airm_10,airm_11,airm_12,airm_13,airm_14,airm_15,airm_16,airm_17,airm_18,airm_19,airm_20,"
      "airm_21,airm_22,airm_23,airm_24,airm_25,airm_26,airm_27,airm_28,airm_29,airm_30,airm_31,"
      "airm_32) values "
      "(:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:b15,:b16,:b17,:b18,:b19,:"
      "b20,:b21,:b22,:b23,:b24,:b25,:b26,:b27,:b28,:b29,:b30,:b31,:b32,:b33,:b34)",
      "insert into qx_air_o (airo_key,airo_serial,airo_0,airo_1,airo_2,airo_3) values "
      "(:b0,:b1,:b2,:b3,:b4,:b5)",
      "insert into qx_air_q (airq_key,airq_serial,airq_0) values (:b0,:b1,:b2)",
      "insert into qx_air_r "
      "(airr_key,airr_serial,airr_0,airr_1,airr_2,airr_3,airr_4,airr_5,airr_6,airr_7,airr_8,airr_9,"
      "airr_10) values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12)",
      "insert into qx_air_i (airi_key,airi_serial,airi_0,airi_1,airi_2,airi_3,airi_4,airi_5) "
      "values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7)",
      "insert into qx_air_s (airs_key,airs_serial,airs_0,airs_1) values (:b0,:b1,:b2,:b3)",
      "insert into qx_air_t (airt_key,airt_serial,airt_0) values (:b0,:b1,:b2)",
      "insert into qx_air_v (airv_key,airv_serial,airv_0) values (:b0,:b1,:b2)",
      "insert into qx_air_f (airf_key,airf_serial,airf_0,airf_1,airf_2) values "
      "(:b0,:b1,:b2,:b3,:b4)",
  };
  return texts;
}

const std::vector<std::string_view>& air_other_build_inserts() {
  static const std::vector<std::string_view> texts = {
      "insert into qx_air_a (aira_key,aira_0,aira_1) values (:b0,:b1,:b2)",
      "insert into qx_air_r (airr_key,airr_serial,airr_0) values (:b0,:b1,:b2)",
      "insert into qx_air_u "
      "(airu_key,airu_serial,airu_0,airu_1,airu_2,airu_3,airu_4,airu_5,airu_6,airu_7,airu_8,airu_9,"
      "airu_10,airu_11,airu_12,airu_13,airu_14,airu_15,airu_16,airu_17,airu_18,airu_19,airu_20) "
      "values "
      "(:b0,to_number(substr(:b1,1,3)),:b2,:b1,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13,:b14,:"
      "b15,:b16,:b17,:b18,:b19,:b20,:b21,:b22)",
      "insert into qx_air_i (airi_key,airi_serial,airi_0,airi_1,airi_2,airi_3,airi_4,airi_5) "
      "values (:b0,to_number(substr(:b1,1,2)),:b2,:b1,:b4,:b5,:b6,:b7)",
      "insert into qx_air_a(aira_key,aira_0,aira_1) values (:b0,:b1,:b2)",
      "insert into "
      "qx_air_corvane(air_key,air_reference,air_0,air_1,air_2,air_3,air_4,air_5,air_6,air_7,air_8,"
      "air_9,air_10,air_11) values (:b0,:b1,:b2,:b3,:b4,:b5,:b6,:b7,:b8,:b9,:b10,:b11,:b12,:b13)",
  };
  return texts;
}

namespace {

DocumentedTable numbered(std::string name, std::string prefix, std::vector<std::string> leading,
                         int slot_count) {
  DocumentedTable table{std::move(name), {prefix + "reference", prefix + "serial"}};
  for (auto& column : leading) table.columns.push_back(prefix + column);
  for (int i = 0; i < slot_count; ++i) table.columns.push_back(prefix + std::to_string(i));
  return table;
}

}  // namespace

std::vector<DocumentedTable> file_tables() {
  std::vector<DocumentedTable> all;
  // PNR: the header's columns as listed with it; every other type's slot
  // count is the number of buffers its null-fill empties.
  all.push_back(numbered("qx_tarvo_m0", "tm0_", {"file_name", "created_on", "loaded_flag"}, 47));
  const std::pair<const char*, int> pnr_null_fills[] = {
      {"1", 14}, {"2", 59}, {"3", 35}, {"4", 17}, {"5", 4}, {"6", 5}, {"7", 3},
      {"8", 3},  {"9", 3},  {"a", 10}, {"b", 4},  {"c", 4}, {"d", 4}, {"e", 3}};
  for (const auto& [type, count] : pnr_null_fills) {
    all.push_back(
        numbered(std::string("qx_tarvo_m") + type, std::string("tm") + type + "_", {}, count));
  }
  // MIR: slot counts as the null-fills give them; the header's null-fill also
  // empties the file name.
  all.push_back(numbered("qx_meridon_t5", "mt5_", {"file_name"}, 50));
  const std::pair<const char*, int> mir_null_fills[] = {
      {"02", 26}, {"03", 5},  {"04", 40}, {"05", 16}, {"07", 18}, {"08", 10},
      {"09", 9},  {"11", 17}, {"12", 4},  {"13", 3},  {"14", 2},  {"21", 2}};
  for (const auto& [type, count] : mir_null_fills) {
    all.push_back(
        numbered(std::string("qx_meridon_a") + type, std::string("ma") + type + "_", {}, count));
  }
  return all;
}

DocumentedTable parse_insert(std::string_view text) {
  constexpr std::string_view kLead = "insert into ";
  const auto open = text.find('(');
  const auto close = text.find(')', open);
  if (!text.starts_with(kLead) || open == text.npos || close == text.npos) {
    throw std::invalid_argument("not an insert text: " + std::string(text));
  }
  std::string_view name = text.substr(kLead.size(), open - kLead.size());
  while (name.ends_with(' ')) name.remove_suffix(1);
  DocumentedTable table{std::string(name), {}};
  std::string_view list = text.substr(open + 1, close - open - 1);
  while (!list.empty()) {
    const auto comma = list.find(',');
    table.columns.emplace_back(list.substr(0, comma));
    list = comma == list.npos ? std::string_view() : list.substr(comma + 1);
  }
  return table;
}

}  // namespace qx::testing
