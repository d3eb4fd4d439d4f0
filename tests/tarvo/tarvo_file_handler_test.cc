// The PNR loader taking files through the scan loop: how it reads records,
// and how few notices of a kind it prints. (What it prints per file, and a
// file that cannot be read or moved, a missing database, a failed commit
// and a lost connection: tests/record_loader/record_loaders_test.cc.)
#include "tarvo/tarvo_file_handler.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/loader_files_test.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::tarvo {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

using qx::testing::Row;
using qx::testing::write_file;
using Rows = std::vector<Row>;

class TarvoFilesTest : public qx::testing::LoaderFilesTest {
 protected:
  TarvoFilesTest() : LoaderFilesTest("pnr.db") {}
  // A loader on the database and its scan loop.
  void start() {
    open_session("test@" + database);
    files = std::make_unique<TarvoFileHandler>(*session, false, out.file());
    start_loop(*files, "*.PNR", std::chrono::milliseconds(10000));
  }
  // What a scan printed after its scanning line.
  std::string scan_output() {
    loop->scan();
    std::string printed = out.take();
    auto end = printed.find(" for *.PNR Files\n");
    return end == std::string::npos ? printed : printed.substr(end + 17);
  }

  std::unique_ptr<TarvoFileHandler> files;
};

// Records end at CR or at CR LF; CR CR LF is an end and an empty record; a
// lone LF is content; byte 26 ends the file; a last record without an end
// is loaded; a NUL is a blank, and named.
TEST_F(TarvoFilesTest, ReadsRecordsAtEveryFormOfRecordEnd) {
  write_file(in / "CR.PNR", "AAcr\rM1a1\r\rM1a2\r");
  write_file(in / "CRLF.PNR", "AAcrlf\r\nM1b1\r\nM1b2\r\n");
  write_file(in / "MIXED.PNR", "AAmixed\r\r\nM1c1\r\r\nM1c\n2\rM1c3");
  write_file(in / "END.PNR", "AAend\rM1d\0\r\x1aM1after-end\r"s);
  start();
  loop->scan();
  EXPECT_EQ(reader().rows("select tm0_file_name, tm0_0 from qx_tarvo_m0 order by tm0_reference"),
            (Rows{{"CR.PNR", "AAcr"},
                  {"CRLF.PNR", "AAcrlf"},
                  {"END.PNR", "AAend"},
                  {"MIXED.PNR", "AAmixed"}}));
  EXPECT_EQ(reader().rows("select tm1_1 || coalesce(tm1_2, '') from qx_tarvo_m1 "
                          "order by tm1_reference, tm1_serial"),
            (Rows{{"a1"}, {"a2"}, {"b1"}, {"b2"}, {"d "}, {"c1"}, {"c\n2"}, {"c3"}}));
  EXPECT_NE(out.text().find("File END.PNR line 2: NUL byte read as a blank\n"), std::string::npos);
}

TEST_F(TarvoFilesTest, OnlyTheFirstFewNoticesOfEachKindArePrintedAndTheRestCounted) {
  std::string records = "AAheader\r";
  for (int i = 0; i < 7; ++i) records += "M1" + std::string(8200, 'x') + "\r";
  write_file(in / "A.PNR", records);
  start();
  const std::string printed = scan_output();
  EXPECT_EQ(qx::testing::occurrences(printed, "8202 characters, cut to 8191\n"), 5u);
  EXPECT_NE(printed.find("File A.PNR line 6: 8202 characters, cut to 8191\n"
                         "File A.PNR: 2 more 'line cut' notices not shown\n"),
            std::string::npos)
      << printed;
  EXPECT_EQ(reader().count("qx_tarvo_m1"), 7);
}

}  // namespace
}  // namespace qx::tarvo
