// The PNR loader taking files through the scan loop: what it prints, how it
// reads records, and what becomes of a file when its move or its read
// fails, or the database is missing. Every file is stored exactly once, or
// still waits in the input directory. (A failed commit and a lost
// connection: tests/record_loader/record_loaders_test.cc.)
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
  // A loader on `target` and its scan loop.
  void start(const std::string& target, bool verbose = false) {
    open_session(target);
    files = std::make_unique<TarvoFileHandler>(*session, verbose, out.file());
    start_loop(*files, "*.PNR", std::chrono::milliseconds(10000));
  }
  void start(bool verbose = false) { start("test@" + database, verbose); }
  // What a scan printed after its scanning line.
  std::string scan_output() {
    loop->scan();
    std::string printed = out.take();
    auto end = printed.find(" for *.PNR Files\n");
    return end == std::string::npos ? printed : printed.substr(end + 17);
  }

  std::unique_ptr<TarvoFileHandler> files;
};

TEST_F(TarvoFilesTest, PrintsOneProgressLinePairPerFileAndOneCompletionLineForAnEmptyScan) {
  write_file(in / "A.PNR", "AAheader\rM1one\r");
  write_file(in / "b.pnr", "");
  start();
  EXPECT_EQ(scan_output(),
            "Currently Processing A.PNR\n"
            "\nFile Read Complete. Waiting for Next File\n"
            "Currently Processing b.pnr\n"
            "\nFile Read Complete. Waiting for Next File\n");
  EXPECT_TRUE(fs::exists(backup / "A.PNR"));
  EXPECT_TRUE(fs::exists(backup / "b.pnr"));
  EXPECT_EQ(scan_output(), "\nFile Read Complete. Waiting for Next File\n");
}

TEST_F(TarvoFilesTest, VerboseNamesTheMoveBeforeTheCompletionLine) {
  write_file(in / "A.PNR", "AAheader\r");
  start(true);
  EXPECT_EQ(scan_output(),
            "Currently Processing A.PNR\n"
            "\n M0(Header) Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
            "\nM0 Record Initializing"
            "\nFile Moved As: " +
                (in / "A.PNR").string() + "---" + (backup / "A.PNR").string() +
                "\n"
                "\nFile Read Complete. Waiting for Next File\n");
}

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

TEST_F(TarvoFilesTest, AFileLoadedButNotMovedIsLoadedOnceAndMovedLater) {
  write_file(in / "A.PNR", "AAheader\rM1one\r");
  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  start();
  loop->scan();
  loop->scan();
  EXPECT_TRUE(fs::exists(in / "A.PNR"));
  EXPECT_EQ(reader().count("qx_tarvo_m0"), 1);
  env.fail_copy_always = false;
  loop->scan();
  EXPECT_FALSE(fs::exists(in / "A.PNR"));
  EXPECT_TRUE(fs::exists(backup / "A.PNR"));
  EXPECT_EQ(reader().count("qx_tarvo_m1"), 1);
}

TEST_F(TarvoFilesTest, AFileThatCannotBeReadStaysForTheNextScan) {
  write_file(in / "A.PNR", "AAheader\r");
  env.fail_read_always = true;
  start();
  std::string printed = scan_output();
  EXPECT_TRUE(printed.starts_with("Cannot open A.PNR: ")) << printed;
  EXPECT_TRUE(printed.ends_with("\nFile Read Complete. Waiting for Next File\n")) << printed;
  EXPECT_TRUE(fs::exists(in / "A.PNR"));
  // Told when it starts, not again at every scan while it lasts.
  EXPECT_EQ(scan_output().find("Cannot open"), std::string::npos);
  env.fail_read_always = false;
  EXPECT_NE(scan_output().find("File A.PNR can be read again"), std::string::npos);
  EXPECT_TRUE(fs::exists(backup / "A.PNR"));
  EXPECT_EQ(reader().count("qx_tarvo_m0"), 1);
}

TEST_F(TarvoFilesTest, ADatabaseMissingAtStartUpIsConnectedAtALaterScan) {
  database = (dir.path() / "later" / "pnr.db").string();
  write_file(in / "A.PNR", "AAheader\r");
  start();
  loop->scan();
  EXPECT_TRUE(fs::exists(in / "A.PNR"));
  fs::create_directory(dir.path() / "later");
  loop->scan();
  EXPECT_TRUE(fs::exists(backup / "A.PNR"));
  EXPECT_EQ(reader().count("qx_tarvo_m0"), 1);
}

}  // namespace
}  // namespace qx::tarvo
