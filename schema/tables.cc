// The tables of the three loaders, transcribed once from their record
// descriptions. Every table follows one of three shapes, so each is written
// as one line naming its shape, prefix and last numbered column.
#include <string>
#include <vector>

#include "schema/schema.h"

namespace qx::schema {
namespace {

void add_numbered(Table& table, const std::string& prefix, int last) {
  for (int i = 0; i <= last; ++i)
    table.columns.push_back({prefix + std::to_string(i), ColumnType::text});
}

// AIR: <prefix>key (the booking key), an optional <prefix>serial, then
// <prefix>0 .. <prefix>last. The key and serial are indexed together where the
// loader asks for the highest serial under a key.
enum class AirSerial { none, counter, queried };

Table air_table(const std::string& name, const std::string& prefix, AirSerial serial, int last) {
  Table table{name, {{prefix + "key", ColumnType::key_double}}, {}};
  if (serial != AirSerial::none) table.columns.push_back({prefix + "serial", ColumnType::integer});
  add_numbered(table, prefix, last);
  if (serial == AirSerial::queried) {
    table.indexes.push_back({prefix + "key", prefix + "serial"});
  } else {
    table.indexes.push_back({prefix + "key"});
  }
  return table;
}

// PNR and MIR: <prefix>reference (the file key), <prefix>serial, the header's
// extra columns, then <prefix>0 .. <prefix>last.
Table file_table(const std::string& name, const std::string& prefix, std::vector<Column> extra,
                 int last) {
  Table table{
      name,
      {{prefix + "reference", ColumnType::integer}, {prefix + "serial", ColumnType::integer}},
      {{prefix + "reference"}}};
  table.columns.insert(table.columns.end(), extra.begin(), extra.end());
  add_numbered(table, prefix, last);
  return table;
}

Table file_table(const std::string& name, const std::string& prefix, int last) {
  return file_table(name, prefix, {}, last);
}

std::vector<Table> build_tables() {
  std::vector<Table> all;

  Table header{"qx_air_corvane",
               {{"air_key", ColumnType::key_double}, {"air_reference", ColumnType::text}},
               {{"air_key"}}};
  add_numbered(header, "air_", 11);
  all.push_back(header);
  all.push_back(air_table("qx_air_a", "aira_", AirSerial::none, 10));
  all.push_back(air_table("qx_air_b", "airb_", AirSerial::none, 0));
  all.push_back(air_table("qx_air_c", "airc_", AirSerial::none, 0));
  all.push_back(air_table("qx_air_d", "aird_", AirSerial::none, 2));
  all.push_back(air_table("qx_air_e", "aire_", AirSerial::none, 0));
  all.push_back(air_table("qx_air_f", "airf_", AirSerial::counter, 2));
  all.push_back(air_table("qx_air_g", "airg_", AirSerial::none, 2));
  all.push_back(air_table("qx_air_h", "airh_", AirSerial::queried, 20));
  all.push_back(air_table("qx_air_i", "airi_", AirSerial::counter, 5));
  all.push_back(air_table("qx_air_k", "airk_", AirSerial::counter, 43));
  all.push_back(air_table("qx_air_l", "airl_", AirSerial::counter, 0));
  all.push_back(air_table("qx_air_m", "airm_", AirSerial::counter, 32));
  all.push_back(air_table("qx_air_o", "airo_", AirSerial::counter, 3));
  all.push_back(air_table("qx_air_q", "airq_", AirSerial::counter, 0));
  all.push_back(air_table("qx_air_r", "airr_", AirSerial::counter, 10));
  all.push_back(air_table("qx_air_s", "airs_", AirSerial::counter, 1));
  all.push_back(air_table("qx_air_t", "airt_", AirSerial::counter, 0));
  all.push_back(air_table("qx_air_u", "airu_", AirSerial::queried, 20));
  all.push_back(air_table("qx_air_v", "airv_", AirSerial::counter, 0));

  all.push_back(file_table("qx_tarvo_m0", "tm0_",
                           {{"tm0_file_name", ColumnType::text},
                            {"tm0_created_on", ColumnType::timestamp},
                            {"tm0_loaded_flag", ColumnType::flag}},
                           46));
  const std::pair<const char*, int> pnr_types[] = {
      {"1", 13}, {"2", 58}, {"3", 34}, {"4", 16}, {"5", 3}, {"6", 4}, {"7", 2},
      {"8", 2},  {"9", 2},  {"a", 9},  {"b", 3},  {"c", 3}, {"d", 3}, {"e", 2}};
  for (const auto& [type, last] : pnr_types) {
    all.push_back(
        file_table(std::string("qx_tarvo_m") + type, std::string("tm") + type + "_", last));
  }

  all.push_back(file_table("qx_meridon_t5", "mt5_", {{"mt5_file_name", ColumnType::text}}, 49));
  const std::pair<const char*, int> mir_types[] = {{"02", 25}, {"03", 4}, {"04", 39}, {"05", 15},
                                                   {"07", 17}, {"08", 9}, {"09", 8},  {"11", 16},
                                                   {"12", 3},  {"13", 2}, {"14", 1},  {"21", 1}};
  for (const auto& [type, last] : mir_types) {
    all.push_back(
        file_table(std::string("qx_meridon_a") + type, std::string("ma") + type + "_", last));
  }
  return all;
}

Table build_load_history() {
  const auto text = [](const char* name, int length) {
    return Column{name, ColumnType::text, length, true};
  };
  const auto counter = [](const char* name) {
    return Column{name, ColumnType::integer, 0, true, "0"};
  };
  Table table{std::string(kLoadHistoryTable),
              {text("lh_program", 32),
               text("lh_file_name", 255),
               {"lh_file_size", ColumnType::integer, 0, true},
               {"lh_file_mtime_ns", ColumnType::integer, 0, true},
               {"lh_digest", ColumnType::fixed_text, 64, true},
               text("lh_state", 16),
               {"lh_key", ColumnType::integer},
               {"lh_booking_key", ColumnType::key_double},
               {"lh_shared_serial", ColumnType::integer32},
               {"lh_r_serial", ColumnType::integer32},
               {"lh_v_serial", ColumnType::integer32},
               {"lh_f_serial", ColumnType::integer32},
               counter("lh_lines_done"),
               counter("lh_rows_stored"),
               counter("lh_rows_rejected"),
               {"lh_first_rejected_line", ColumnType::integer},
               {"lh_started_on", ColumnType::timestamp},
               {"lh_finished_on", ColumnType::timestamp},
               text("lh_instance", 255)},
              {}};
  table.unique_indexes.push_back(
      {std::string(kLoadHistoryIdentity),
       {"lh_program", "lh_file_name", "lh_file_size", "lh_file_mtime_ns", "lh_digest"}});
  return table;
}

struct ProgramTables {
  std::string_view program;
  std::string_view table_prefix;
  std::string_view sequence;
};

constexpr ProgramTables kProgramTables[] = {{"corvane", "qx_air_", "BOOK_SEQUENCE"},
                                            {"tarvo", "qx_tarvo_", "TARVO_SEQUENCE"},
                                            {"meridon_full", "qx_meridon_", "MERIDON_SEQUENCE"}};

}  // namespace

const Table& load_history_table() {
  static const Table table = build_load_history();
  return table;
}

std::vector<std::string> required_tables(std::string_view program) {
  std::vector<std::string> names;
  for (const auto& entry : kProgramTables) {
    if (entry.program != program) continue;
    for (const auto& table : tables()) {
      if (table.name.starts_with(entry.table_prefix)) names.push_back(table.name);
    }
    names.push_back(load_history_table().name);
  }
  return names;
}

std::string_view program_sequence(std::string_view program) {
  for (const auto& entry : kProgramTables) {
    if (entry.program == program) return entry.sequence;
  }
  return {};
}

const std::vector<Table>& tables() {
  static const std::vector<Table> all = build_tables();
  return all;
}

const Table* find_table(std::string_view name) {
  for (const auto& table : tables()) {
    if (table.name == name) return &table;
  }
  return nullptr;
}

const std::vector<std::string>& sequences() {
  static const std::vector<std::string> all = {"BOOK_SEQUENCE", "TARVO_SEQUENCE",
                                               "MERIDON_SEQUENCE"};
  return all;
}

}  // namespace qx::schema
