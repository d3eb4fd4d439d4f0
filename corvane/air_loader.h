// Loading the lines of one AIR file: `begin_file` once per file, then
// `process_line` once per line. Each line is split into the field table,
// its tags are read, the handler tests run in order, and at most one row is
// inserted; the caller commits after every line.
//
// State that lives for the whole process: the booking key (0 until the
// first "AMD "/"AMDR" line draws one, then carried from file to file) and
// the per-file serial counters (set to 1 by begin_file).
//
// Every statement is one step: run it, and print a failure through the
// by-text error printer; the work always goes on.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "corvane/air_build.h"
#include "corvane/air_handlers.h"
#include "corvane/field_table.h"
#include "db/session.h"
#include "driver/console.h"

namespace qx::corvane {

class AirLoader {
 public:
  AirLoader(db::Session& session, AirBuild build, driver::Console console);

  void begin_file(std::string_view file_reference);
  // `line` is one line without its line end; `line_number` counts from 1 and
  // names the line in what is printed about it.
  void process_line(std::string_view line, std::size_t line_number);

  // Prints a failed status through the by-text printer.
  void report_sql_error(const db::Status& status);

  double booking_key() const { return booking_key_; }
  std::int32_t counter(Counter c) const { return counters_[static_cast<std::size_t>(c)]; }
  const FieldTable& field_table() const { return field_table_; }
  std::string_view tag2() const { return tag2_; }
  std::string_view tag4() const { return tag4_; }

 private:
  struct PreparedHandler {
    const AirHandler* handler;
    std::string insert;
    std::string serial_query;
  };

  void run_handler(const PreparedHandler& prepared);
  void draw_booking_key();
  void report_split(const SplitReport& report, std::size_t line_number);
  std::int32_t& counter_ref(Counter c) { return counters_[static_cast<std::size_t>(c)]; }
  void step(const db::Status& status);

  db::Session& session_;
  const AirBuildProfile& profile_;
  driver::Console console_;
  std::vector<PreparedHandler> handlers_;

  FieldTable field_table_;
  SplitReport split_report_;
  std::string_view tag2_;
  std::string_view tag4_;
  double booking_key_ = 0;
  std::array<std::int32_t, kCounterCount> counters_{};
  std::string file_reference_;
  std::vector<db::Bind> binds_;
};

}  // namespace qx::corvane
