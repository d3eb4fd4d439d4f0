#include "copy_format.h"

#include <libpq-fe.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "bulk_ceiling.h"
#include "copy_binary.h"
#include "cpu_share.h"
#include "db/codepage.h"
#include "db/copy_rows.h"
#include "db/statement_rules.h"
#include "sample_backlog.h"
#include "stored_rows.h"

namespace qx::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// The stored texts (UTF-8) back in Windows-1252, the form the loaders read
// from the files and bind, so that each format's build pays for the
// conversion the loaders' binds make.
class ToCp1252 {
 public:
  ToCp1252() {
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      byte_of_[db::cp1252_to_utf8(std::string(1, static_cast<char>(byte)))] =
          static_cast<char>(byte);
    }
  }

  std::string operator()(const std::string& utf8) const {
    if (db::is_ascii(utf8)) return utf8;
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      const std::size_t length = lead < 0x80 ? 1 : lead >= 0xE0 ? 3 : 2;
      if (length == 1) {
        out += utf8[i++];
        continue;
      }
      const auto found = byte_of_.find(utf8.substr(i, length));
      if (found == byte_of_.end()) throw std::runtime_error("a stored text outside Windows-1252");
      out += found->second;
      i += length;
    }
    return out;
  }

 private:
  std::map<std::string, char> byte_of_;
};

// One table's rows as the loaders bind them, row after row.
struct BoundTable {
  std::vector<schema::ColumnType> types;
  std::vector<db::Bind> values;
};

template <class Number>
Number parsed(const std::string& text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    throw std::runtime_error("a stored number that does not parse: " + text);
  }
  return value;
}

// Binds of `texts` (which they view, so it must outlive them).
std::vector<BoundTable> bound_tables(const StoredRows& texts) {
  using schema::ColumnType;
  std::vector<BoundTable> bound;
  for (const auto& table : texts.tables) {
    const schema::Table* described = schema::find_table(table.name);
    if (described == nullptr) throw std::runtime_error("no table called " + table.name);
    BoundTable& out = bound.emplace_back();
    for (const auto& name : table.columns) {
      const auto column = std::find_if(described->columns.begin(), described->columns.end(),
                                       [&](const schema::Column& c) { return c.name == name; });
      out.types.push_back(column->type);
    }
    for (const auto& row : table.rows) {
      for (std::size_t c = 0; c < row.size(); ++c) {
        const ColumnType type = out.types[c];
        if (!row[c]) {
          out.values.push_back(db::Bind::null());
        } else if (type == ColumnType::integer || type == ColumnType::integer32) {
          out.values.push_back(db::Bind::integer(parsed<std::int64_t>(*row[c])));
        } else if (type == ColumnType::key_double) {
          out.values.push_back(db::Bind::real(parsed<double>(*row[c])));
        } else {
          out.values.push_back(db::Bind::text(*row[c]));
        }
      }
    }
  }
  return bound;
}

// The loaders' COPY text (db::CopyRows), converted to UTF-8 in the chunks
// the session sends it in.
std::string text_payload(const BoundTable& table) {
  db::CopyRows rows;
  const std::size_t columns = table.types.size();
  for (std::size_t i = 0; i < table.values.size(); ++i) {
    rows.add(table.values[i]);
    if ((i + 1) % columns == 0) rows.end_row();
  }
  constexpr std::size_t kChunk = 1 << 16;
  std::string converted;
  converted.reserve(rows.text().size());
  for (std::size_t at = 0; at < rows.text().size(); at += kChunk) {
    db::append_bound_text(rows.text().substr(at, kChunk), converted);
  }
  return converted;
}

std::string binary_payload(const BoundTable& table) {
  CopyBinaryRows rows;
  const std::size_t columns = table.types.size();
  for (std::size_t i = 0; i < table.values.size(); ++i) {
    if (i % columns == 0) rows.begin_row(columns);
    rows.add(table.values[i], table.types[i % columns]);
  }
  return rows.finish();
}

void sort_rows(StoredRows& rows) {
  for (auto& table : rows.tables) std::sort(table.rows.begin(), table.rows.end());
}

// One format's run on a fresh database; throws unless it stored `expected`
// (sorted) and nothing else.
CopyFormatRun run_format(bool binary, const std::vector<BoundTable>& bound,
                         const StoredRows& expected, const std::string& prefix) {
  BenchDatabase database(Backend::postgresql);
  database.connect();
  Connection conn(PQconnectdb(database.location().c_str()), &PQfinish);
  if (PQstatus(conn.get()) != CONNECTION_OK || PQsetClientEncoding(conn.get(), "UTF8") != 0) {
    throw std::runtime_error("cannot connect: " + std::string(PQerrorMessage(conn.get())));
  }
  CopyFormatRun run;
  const auto start = Clock::now();
  std::vector<std::string> payloads;
  for (const auto& table : bound) {
    payloads.push_back(binary ? binary_payload(table) : text_payload(table));
  }
  run.build_seconds = seconds_since(start);
  for (const auto& payload : payloads) run.bytes += payload.size();

  const pid_t server = PQbackendPID(conn.get());
  const auto cpu_before = process_times(server);
  run.server_seconds =
      copy_in_one_transaction(conn.get(), expected, payloads, binary ? " (FORMAT binary)" : "");
  const auto cpu_after = process_times(server);
  if (cpu_before && cpu_after) {
    run.server_cpu_seconds =
        cpu_after->user + cpu_after->kernel - cpu_before->user - cpu_before->kernel;
  }

  StoredRows stored = read_stored_rows(database, prefix);
  sort_rows(stored);
  for (std::size_t t = 0; t < expected.tables.size(); ++t) {
    if (stored.tables.at(t).rows != expected.tables[t].rows) {
      throw std::runtime_error(std::string("COPY in ") + (binary ? "binary" : "text") +
                               " stored other rows in " + expected.tables[t].name +
                               " than the loader did");
    }
  }
  return run;
}

// The rows the loader's own batches store for the backlog, and how long
// they took.
StoredRows load_backlog(const LoaderBench& loader, const ThroughputOptions& options,
                        double& seconds) {
  const auto files = generate_files(loader, options.files, options);
  qx::testing::TempDir dir;
  NullOutput out;
  BenchDatabase database(Backend::postgresql);
  const Directories dirs = fresh_directories(dir, "copy_format");
  drop_files(files, files.size(), dirs.input);
  auto session = database.connect();
  auto handler = loader.files(*session, out.file, kProgramBatches);
  const auto start = Clock::now();
  scan_once(*handler, loader.pattern, dirs, out.file, loader.name.c_str(), kProgramBatches);
  seconds = seconds_since(start);
  expect_all_loaded(dirs, loader.name);
  return read_stored_rows(database, loader.table_prefix);
}

}  // namespace

CopyFormatResult measure_copy_format(const LoaderBench& loader, const ThroughputOptions& options) {
  CopyFormatResult result;
  StoredRows expected = load_backlog(loader, options, result.loader_seconds);
  result.rows = expected.row_count();
  StoredRows texts = expected;
  const ToCp1252 to_cp1252;
  for (auto& table : texts.tables) {
    for (auto& row : table.rows) {
      for (auto& value : row) {
        if (value) value = to_cp1252(*value);
      }
    }
  }
  const std::vector<BoundTable> bound = bound_tables(texts);
  sort_rows(expected);
  for (int rep = 0; rep < options.repetitions; ++rep) {
    // The formats take turns at going first, so that neither always meets
    // the server just after the other.
    CopyFormatPair pair;
    const bool text_first = rep % 2 == 0;
    if (text_first) pair.text = run_format(false, bound, expected, loader.table_prefix);
    pair.binary = run_format(true, bound, expected, loader.table_prefix);
    if (!text_first) pair.text = run_format(false, bound, expected, loader.table_prefix);
    result.runs.push_back(pair);
  }
  return result;
}

}  // namespace qx::bench
