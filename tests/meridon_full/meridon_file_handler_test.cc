// The MIR loader taking files through the scan loop: how it reads the
// header and the lines after it, and what every column holds. (What it
// prints per file, and a file that cannot be read or moved, a failed commit
// and a lost connection: tests/record_loader/record_loaders_test.cc.)
#include "meridon_full/meridon_file_handler.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mir_expectations.h"
#include "support/loader_files_test.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::meridon_full {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

using qx::testing::Row;
using qx::testing::write_file;
using Rows = std::vector<Row>;

// A header record of exactly 342 characters.
std::string header(std::string_view text = "") {
  std::string record = "T51" + std::string(text);
  record.resize(342, '.');
  return record;
}

class MeridonFilesTest : public qx::testing::LoaderFilesTest {
 protected:
  MeridonFilesTest() : LoaderFilesTest("mir.db") {}
  // A loader on the database and its scan loop.
  void start() {
    open_session("test@" + database);
    files = std::make_unique<MeridonFileHandler>(*session, false, out.file());
    start_loop(*files, "*.MIR", std::chrono::milliseconds(10000));
  }
  Rows rows(const std::string& sql) const { return reader().rows(sql); }

  std::unique_ptr<MeridonFileHandler> files;
};

// A header and a line of every type, each character naming its position:
// every column of every table holds what its positions hold.
TEST_F(MeridonFilesTest, EveryColumnOfEveryTypeHoldsItsPositions) {
  LoadedFile file{"CODED.MIR", coded_line("T51", 342)};
  for (const auto& type : expected_types()) {
    if (type.tag != "T51") file.contents += "\r" + coded_line(type.tag, 420);
  }
  file.contents += "\r" + coded_line("A08", 45) + "\r" + coded_line("A08", 46) + "\r";
  write_file(in / file.name, file.contents);
  start();
  loop->scan();
  EXPECT_EQ(stored_mir_rows(reader()), expected_mir_rows({file}));
  EXPECT_EQ(rows("select ma08_serial, length(ma08_9) from qx_meridon_a08 order by 1"),
            (Rows{{"0", "375"}, {"1", {}}, {"2", "1"}}));
}

// The header is the first 342 characters whatever they hold; the body's
// lines end at CR or at a CR LF pair, and its last line needs no end.
TEST_F(MeridonFilesTest, ReadsTheHeaderThenTheLinesAtEveryFormOfLineEnd) {
  write_file(in / "CR.MIR", header("cr") + "\rA02a1\r\rA02a\n2\rA14last");
  write_file(in / "CRLF.MIR", header("crlf") + "\r\nA02b1\r\nA02b2\r\n");
  write_file(in / "END.MIR", header("end") + "\rA02c\0\r\x1a"s + "A02after-end\r");
  start();
  loop->scan();
  EXPECT_EQ(rows("select mt5_file_name, mt5_1 || mt5_2 from qx_meridon_t5 order by 1"),
            (Rows{{"CR.MIR", "1cr..."}, {"CRLF.MIR", "1crlf."}, {"END.MIR", "1end.."}}));
  EXPECT_EQ(rows("select ma02_1 from qx_meridon_a02 order by ma02_reference, ma02_serial"),
            (Rows{{"a1"}, {"a\n2"}, {"b1"}, {"b2"}, {"c "}}));
  EXPECT_EQ(rows("select ma14_1 from qx_meridon_a14"), (Rows{{"last"}}));
  EXPECT_NE(out.text().find("File END.MIR line 2: NUL byte read as a blank\n"), std::string::npos);
}

// A header of 342 characters whose carriage returns are its own content.
std::string header_with_carriage_returns() {
  std::string record = coded_line("T51", 342);
  for (std::size_t position : {81, 145, 242, 294}) record[position - 1] = '\r';
  return record;
}

// A file of one header: what the header keeps, and the A02 record after it.
struct HeaderCase {
  std::string name;
  std::string contents;
  std::string header;  // empty: no header row
  std::vector<std::string> a02 = {};
};

std::vector<HeaderCase> header_cases() {
  const std::string short_header = coded_line("T51", 100);
  const std::string a14 = coded_line("A14", 300);
  std::vector<HeaderCase> cases = {
      {"CR-THEN-TAG.MIR", short_header + "\r" + a14 + "\rA02cr\r", short_header, {"cr"}},
      {"CR-THEN-TEXT.MIR",
       short_header + "\rmore of it\rA02text\r",
       short_header + "\rmore of it",
       {"text"}},
      {"CR-AT-END.MIR", short_header + "\r", short_header},
      {"CRLF.MIR", short_header + "\r\nA02crlf\r\n", short_header, {"crlf"}},
      {"LF.MIR", short_header + "\nA02lf\r", short_header, {"lf"}},
      {"FULL-LF.MIR", header("full") + "\nA02full\r", header("full"), {"full"}},
      {"FULL-CR-INSIDE.MIR",
       header_with_carriage_returns() + "\rA02inside\r",
       header_with_carriage_returns(),
       {"inside"}},
  };
  // A transfer cut short: no record end at all.
  for (std::size_t length : {1, 100, 341, 342, 343}) {
    cases.push_back({"CUT" + std::to_string(length) + ".MIR", coded_line("T51", length),
                     length < 3 ? "" : coded_line("T51", std::min<std::size_t>(length, 342))});
  }
  return cases;
}

// A header is the first 342 characters, or ends sooner at a line feed, or
// at a carriage return where the records begin (a known tag, or the end of
// the file); any other carriage return is its content. Its own record end
// belongs to no column and no record; the records after it are read whole.
// A header that ends early is told.
TEST_F(MeridonFilesTest, AHeaderKeepsItsCarriageReturnsUnlessTheRecordsBeginThere) {
  const std::vector<HeaderCase> cases = header_cases();
  for (const HeaderCase& c : cases) write_file(in / c.name, c.contents);
  start();
  loop->scan();
  const auto stored = stored_mir_rows(reader());
  const auto& headers = stored.count("qx_meridon_t5") != 0 ? stored.at("qx_meridon_t5") : Rows{};
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(fs::exists(backup / c.name));
    auto row =
        std::find_if(headers.begin(), headers.end(), [&](const Row& r) { return r[2] == c.name; });
    ASSERT_EQ(row != headers.end(), !c.header.empty());
    if (c.header.empty()) continue;
    Row expected(row->begin(), row->begin() + 3);
    for (const std::string& value : expected_slots(expected_type("T51"), c.header)) {
      expected.push_back(value.empty() ? std::nullopt : std::optional<std::string>(value));
    }
    EXPECT_EQ(*row, expected);
    Rows a02;
    for (const std::string& value : c.a02) a02.push_back({value});
    EXPECT_EQ(rows("select ma02_1 from qx_meridon_a02 join qx_meridon_t5 on mt5_reference = "
                   "ma02_reference where mt5_file_name = '" +
                   c.name + "' order by ma02_serial"),
              a02);
    const bool told = out.text().find("File " + c.name + " line 1: header record of " +
                                      std::to_string(c.header.size()) +
                                      " characters, ended early") != std::string::npos;
    EXPECT_EQ(told, c.header.size() < 342) << out.text();
  }
  EXPECT_EQ(rows("select ma14_1 from qx_meridon_a14"),
            (Rows{{coded_line("A14", 300).substr(3, 240)}}));
}

TEST_F(MeridonFilesTest, AFileWithoutAHeaderHasEveryLineFiled) {
  write_file(in / "NOHEAD.MIR", "A02one\rA14two\rT50 no header\r");
  start();
  loop->scan();
  EXPECT_EQ(reader().count("qx_meridon_t5"), 0);
  EXPECT_EQ(rows("select ma02_reference, ma02_1 from qx_meridon_a02"), (Rows{{"1", "one"}}));
  EXPECT_EQ(rows("select ma14_reference, ma14_1 from qx_meridon_a14"), (Rows{{"1", "two"}}));
}

}  // namespace
}  // namespace qx::meridon_full
