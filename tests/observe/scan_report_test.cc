// What the loop tells its observers, read back the way a log shipper and a
// metrics collector read it: one sweep of scans over a database that is
// down and then up, a file that loads with a rejected row and a file that
// its handler refuses.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "observe/event_log.h"
#include "observe/json_line.h"
#include "observe/metrics_file.h"
#include "os/stop_signal.h"
#include "scan/scan_loop.h"
#include "support/captured_output.h"
#include "support/connect_only_session.h"
#include "support/faulty_env.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace qx::observe {
namespace {

using qx::testing::CapturedOutput;
using qx::testing::read_file;
using qx::testing::TempDir;
using qx::testing::write_file;

// A name with a quote, and an e acute in the files' code page.
const std::string kRefusedName = "bad \"\xE9\".air";
const std::string kRefusedNameUtf8 = "bad \"\xC3\xA9\".air";
const std::string kWhy = "refused:\tline 2\x01";

// Loads every file but the refused one, as a loader that stored two rows
// and had the row of line 2 rejected.
class ReportingHandler : public scan::FileHandler {
 public:
  explicit ReportingHandler(db::Session& s) : session_(s) {}
  db::Session& session() override { return session_; }
  void report_sql_error(const db::Status&) override {}
  void handle_file(scan::FileJob& job) override {
    if (job.name() == kRefusedName) {
      job.report().why = kWhy;
      return;
    }
    scan::FileReport& report = job.report();
    report.committed = true;
    report.key = 7;
    report.lines_read = 3;
    report.rows_stored = 2;
    report.rows_rejected = 1;
    report.tally.stored("qx_air_a", 2);
    report.tally.rejected(2);
    job.move_to_backup();
  }
  void on_scan_without_files() override {}

 private:
  db::Session& session_;
};

// Reads back a flat JSON object as a log shipper would: strings decoded
// (escapes, \u as UTF-8), anything else kept as its text.
std::map<std::string, std::string> parse_object(const std::string& line) {
  std::map<std::string, std::string> fields;
  std::size_t i = 0;
  auto fail = [&] { ADD_FAILURE() << "not JSON at " << i << ": " << line; };
  auto string_at = [&]() {
    std::string out;
    for (++i; i < line.size() && line[i] != '"'; ++i) {
      char c = line[i];
      if (static_cast<unsigned char>(c) < 0x20) fail();
      if (c != '\\') {
        out += c;
        continue;
      }
      c = line[++i];
      if (c == 'u') {
        unsigned code = std::stoul(line.substr(i + 1, 4), nullptr, 16);
        EXPECT_LT(code, 0x80u) << "only control characters need \\u";
        out += static_cast<char>(code);
        i += 4;
      } else {
        out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
      }
    }
    ++i;
    return out;
  };
  if (line.empty() || line[0] != '{' || line.back() != '}') fail();
  i = 1;
  while (i < line.size() && line[i] != '}') {
    if (line[i] == ',') ++i;
    std::string key = string_at();
    if (line[i++] != ':') fail();
    if (line[i] == '"') {
      fields[key] = string_at();
      continue;
    }
    std::size_t end = i;
    int depth = 0;
    for (; end < line.size(); ++end) {
      char c = line[end];
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') {
        if (depth == 0) break;
        --depth;
      }
      if (c == ',' && depth == 0) break;
    }
    fields[key] = line.substr(i, end - i);
    i = end;
  }
  return fields;
}

// "name{labels}" -> value, and the names that have # HELP and # TYPE.
struct Metrics {
  std::map<std::string, double> samples;
  std::map<std::string, std::string> types;
  std::vector<std::string> helped;
};

Metrics parse_metrics(const std::string& text) {
  Metrics metrics;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    if (line.starts_with("#")) {
      std::string hash, what, name, rest;
      words >> hash >> what >> name >> rest;
      if (what == "HELP") metrics.helped.push_back(name);
      if (what == "TYPE") metrics.types[name] = rest;
      continue;
    }
    // Label values may hold blanks: the value is after the last one.
    const std::string first = line.substr(0, line.rfind(' '));
    const double value = std::stod(line.substr(line.rfind(' ') + 1));
    const std::string base = first.substr(0, first.find('{'));
    EXPECT_EQ(metrics.types.count(base), 1u) << "no # TYPE before " << line;
    EXPECT_EQ(base.rfind("qx_loader_", 0), 0u) << line;
    EXPECT_NE(first.find("program=\"corvane\",loader_instance=\"node \\\"1\\\"\""),
              std::string::npos)
        << line;
    const std::size_t kind = first.find("kind=");
    metrics.samples[kind == std::string::npos ? base : base + "{" + first.substr(kind)] = value;
  }
  for (const auto& [name, type] : metrics.types) {
    EXPECT_NE(std::find(metrics.helped.begin(), metrics.helped.end(), name), metrics.helped.end())
        << "no # HELP for " << name;
  }
  return metrics;
}

class ScanReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    os::clear_stop_request();
    write_file(in / "good.air", "1\n2\n3\n");
    write_file(in / kRefusedName, "x\n");
    observers.add(std::make_unique<EventLog>(log.string(), out.file()));
    observers.add(std::make_unique<MetricsFile>(env, metrics, out.file()));
    loop.observe(observers);
    observers.started({"corvane", "1.0", "node \"1\"", session.description(), "in", "backup"});
  }
  // Scan 1 finds no database; scan 2 loads one file and is refused the
  // other; scan 3 finds the refused file still there.
  std::vector<std::string> sweep() {
    std::vector<std::string> metrics_after;
    session.refuse_connects = 1;
    for (int scan = 0; scan < 3; ++scan) {
      loop.scan();
      metrics_after.push_back(read_file(metrics));
    }
    observers.stopped();
    return metrics_after;
  }

  TempDir dir;
  std::filesystem::path in = dir.make_dir("in");
  std::filesystem::path backup = dir.make_dir("backup");
  std::filesystem::path log = dir.path() / "events.jsonl";
  std::filesystem::path metrics = dir.path() / "loader.prom";
  qx::testing::FaultyEnv env;
  qx::testing::ConnectOnlySession session{"test \"db\""};
  ReportingHandler handler{session};
  CapturedOutput out;
  scan::ScanLoop loop{env,
                      handler,
                      {in.string(), backup.string(), "*.air", std::chrono::milliseconds(0),
                       std::chrono::milliseconds(0), true},
                      out.file()};
  scan::ObserverList observers;
};

TEST_F(ScanReportTest, TheEventLogReadsBackAsOneObjectPerEvent) {
  sweep();
  std::istringstream text(read_file(log));
  std::vector<std::map<std::string, std::string>> events;
  for (std::string line; std::getline(text, line);) events.push_back(parse_object(line));
  std::vector<std::string> names;
  for (auto& event : events) names.push_back(event["event"] + ":" + event["kind"]);
  EXPECT_EQ(names,
            (std::vector<std::string>{"start:", "failure_start:database", "failure_end:database",
                                      "failure_start:file", "file:", "file:", "file:", "stop:"}));
  ASSERT_EQ(events.size(), 8u);
  EXPECT_EQ(events[0]["program"], "corvane");
  EXPECT_EQ(events[0]["instance"], "node \"1\"");
  EXPECT_EQ(events[0]["database"], "test \"db\"");
  for (auto& event : events) {
    EXPECT_TRUE(std::regex_match(event["time"],
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}\+00:00)")))
        << event["time"];
  }
  EXPECT_EQ(event_time(std::chrono::system_clock::time_point(std::chrono::milliseconds(1234))),
            "1970-01-01T00:00:01.234+00:00");
  EXPECT_NE(events[1]["detail"].find("server not reachable"), std::string::npos);

  auto& loaded = events[5];
  EXPECT_EQ(loaded["name"], "good.air");
  EXPECT_EQ(loaded["outcome"], "loaded");
  EXPECT_EQ(loaded["moved"], "true");
  EXPECT_EQ(loaded["key"], "7");
  EXPECT_EQ(loaded["lines"], "3");
  EXPECT_EQ(loaded["rows_stored"], "2");
  EXPECT_EQ(loaded["tables"], "{\"qx_air_a\":2}");
  EXPECT_EQ(loaded["rejected_lines"], "[2]");

  EXPECT_EQ(events[3]["detail"], kRefusedNameUtf8 + ": " + kWhy);
  for (int refused : {4, 6}) {
    EXPECT_EQ(events[refused]["name"], kRefusedNameUtf8);
    EXPECT_EQ(events[refused]["outcome"], "waiting");
    EXPECT_EQ(events[refused]["why"], kWhy);
    EXPECT_EQ(events[refused]["moved"], "false");
  }
}

TEST_F(ScanReportTest, TheMetricsFileIsRewrittenWholeAfterEveryScan) {
  auto after = sweep();
  Metrics down = parse_metrics(after[0]);
  EXPECT_EQ(down.samples["qx_loader_database_up"], 0);
  EXPECT_EQ(down.samples["qx_loader_files_waiting"], 2);
  EXPECT_EQ(down.samples["qx_loader_last_successful_scan_timestamp_seconds"], 0);
  EXPECT_EQ(down.samples["qx_loader_failures_total{kind=\"database\"}"], 1);

  Metrics up = parse_metrics(after[2]);
  EXPECT_EQ(up.types["qx_loader_files_loaded_total"], "counter");
  EXPECT_EQ(up.types["qx_loader_files_waiting"], "gauge");
  EXPECT_EQ(up.samples["qx_loader_database_up"], 1);
  EXPECT_EQ(up.samples["qx_loader_files_loaded_total"], 1);
  EXPECT_EQ(up.samples["qx_loader_rows_loaded_total"], 2);
  // The refused file stored and rejected nothing.
  EXPECT_EQ(up.samples["qx_loader_rows_rejected_total"], 1);
  EXPECT_EQ(up.samples["qx_loader_files_waiting"], 1);
  EXPECT_EQ(up.samples["qx_loader_failures_total{kind=\"database\"}"], 1);
  EXPECT_EQ(up.samples["qx_loader_failures_total{kind=\"file\"}"], 1);
  EXPECT_EQ(up.samples["qx_loader_failures_total{kind=\"backup_move\"}"], 0);
  const double now = static_cast<double>(std::chrono::duration_cast<std::chrono::seconds>(
                                             std::chrono::system_clock::now().time_since_epoch())
                                             .count());
  EXPECT_NEAR(up.samples["qx_loader_last_successful_scan_timestamp_seconds"], now, 60);
  EXPECT_GE(up.samples["qx_loader_oldest_waiting_file_age_seconds"], 0);
  EXPECT_LT(up.samples["qx_loader_oldest_waiting_file_age_seconds"], 60);
  // Readable by the collector's own user, whatever the umask.
  EXPECT_EQ(std::filesystem::status(metrics).permissions(), kMetricsFilePermissions);
  // Written beside its final name and renamed: nothing else is left there.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 4);
}

TEST(JsonString, EscapesWhatJsonForbidsAndConvertsTheFilesCodePage) {
  EXPECT_EQ(json_string("a\"b\\c\n\x1f\x7f"), "\"a\\\"b\\\\c\\n\\u001f\\u007f\"");
  // Valid UTF-8 is kept; other bytes are Windows-1252.
  EXPECT_EQ(json_string("\xC3\xA9"), "\"\xC3\xA9\"");
  EXPECT_EQ(json_string("\xE9\x80"), "\"\xC3\xA9\xE2\x82\xAC\"");
  EXPECT_EQ(json_string("\xC0\xAF"), "\"\xC3\x80\xC2\xAF\"");  // an overlong form is not UTF-8
  EXPECT_EQ(json_string("\xED\xA0\x80"), "\"\xC3\xAD\xC2\xA0\xE2\x82\xAC\"");  // nor a surrogate
  EXPECT_EQ(json_string("\xE2\x82"), "\"\xC3\xA2\xE2\x80\x9A\"");              // nor a cut sequence
}

}  // namespace
}  // namespace qx::observe
