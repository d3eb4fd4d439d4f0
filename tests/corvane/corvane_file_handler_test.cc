// The AIR loader taking files through the scan loop: what it prints, what
// it reads, and what becomes of files when moves or the database fail.
#include "corvane/corvane_file_handler.h"

#include <gtest/gtest.h>

#include "support/loader_files_test.h"
#include "support/postgres_test_database.h"
#include "support/program_run.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::corvane {
namespace {

using namespace std::string_literals;

using qx::testing::PostgresTestDatabase;
using qx::testing::Row;
using qx::testing::TableReader;
using qx::testing::write_file;

class CorvaneFilesTest : public qx::testing::LoaderFilesTest {
 protected:
  CorvaneFilesTest() : LoaderFilesTest("air.db") {}
  // A loader on `target`, one commit per line, and its scan loop.
  void start(const std::string& target) {
    open_session(target);
    files = std::make_unique<CorvaneFileHandler>(*session, AirBuild::base, out.file(),
                                                 scan::kOneAtATime);
    start_loop(*files, "*.air", std::chrono::milliseconds(3600));
  }
  void start() { start("test@" + database); }

  std::unique_ptr<CorvaneFileHandler> files;
};

TEST_F(CorvaneFilesTest, PrintsTheProgressLinesOfEachFileAndOfAnEmptyScan) {
  write_file(in / "A.air", "AMD 1;x\nB-1\n");
  write_file(in / "B.air", "");
  start();
  loop->scan();
  std::string printed = out.take();
  EXPECT_NE(printed.find("Currently Processing A.air\n\n"
                         "File Read Complete. Waiting for Next File\n\n"
                         "Currently Processing B.air\n\n"
                         "File Read Complete. Waiting for Next File\n\n"),
            std::string::npos)
      << printed;
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_TRUE(std::filesystem::exists(backup / "B.air"));  // an empty file is moved too
  loop->scan();
  printed = out.take();
  EXPECT_EQ(printed.substr(printed.find(" Files\n") + 7),
            "File Read Complete. Waiting for Next File\n\n");
}

TEST_F(CorvaneFilesTest, AFileThatCannotBeReadStaysAndTheCompletionLineIsStillPrinted) {
  write_file(in / "A.air", "AMD 1\n");
  env.fail_read_always = true;
  start();
  loop->scan();
  std::string printed = out.take();
  EXPECT_NE(printed.find("Cannot open A.air"), std::string::npos);
  EXPECT_NE(printed.find("File Read Complete. Waiting for Next File\n\n"), std::string::npos);
  EXPECT_EQ(printed.find("Currently Processing"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(in / "A.air"));
}

TEST_F(CorvaneFilesTest, ReadsTextModeLinesWholeAndBlanksNulBytes) {
  write_file(in / "A.air",
             "AMD 1;x\r\nB-1\nC-A\0B\nENLAST\x1a"
             "D-AFTER\n"s);
  start();
  loop->scan();
  EXPECT_EQ(reader().rows("select airc_0 from qx_air_c"), std::vector<Row>{{"C-A B"}});
  // The last line has no line end and keeps its last character.
  EXPECT_EQ(reader().rows("select aire_0 from qx_air_e"), std::vector<Row>{{"ENLAST"}});
  EXPECT_EQ(reader().count("qx_air_d"), 0);
  EXPECT_NE(out.text().find("File A.air line 3: NUL byte read as a blank\n"), std::string::npos);
}

TEST_F(CorvaneFilesTest, NoticesAreCappedPerFileAndAFileOfNoKnownLineIsSetAside) {
  std::string nul_lines;
  for (int i = 0; i < 8; ++i) nul_lines += "C-A\0B\n"s;
  write_file(in / "A.air", "AMD 1;x\n" + nul_lines);
  write_file(in / "B.air", "zz unknown\nyy;nor this\n");
  failed = {dir.make_dir("failed").string(), 3, 1 << 20};
  start();
  loop->scan();
  const std::string printed = out.text();
  EXPECT_EQ(qx::testing::occurrences(printed, "NUL byte read as a blank\n"), 5u);
  EXPECT_NE(printed.find("File A.air: 3 more 'NUL byte' notices not shown\n"), std::string::npos)
      << printed;
  EXPECT_EQ(reader().count("qx_air_c"), 8);
  EXPECT_NE(printed.find("File B.air holds no record this loader knows; it is not loaded\n"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "failed" / "B.air"));
  EXPECT_EQ(reader().count("qx_load_history"), 1);
}

TEST_F(CorvaneFilesTest, AFileLoadedButNotMovedIsLoadedOnceAndMovedLater) {
  write_file(in / "A.air", "AMD 1;x\nB-1\n");
  env.rename_crosses_devices = true;
  env.fail_copy_always = true;
  start();
  loop->scan();
  loop->scan();
  EXPECT_EQ(reader().count("qx_air_corvane"), 1);
  EXPECT_EQ(reader().count("qx_air_b"), 1);
  EXPECT_TRUE(std::filesystem::exists(in / "A.air"));
  env.fail_copy_always = false;
  loop->scan();
  EXPECT_FALSE(std::filesystem::exists(in / "A.air"));
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_EQ(reader().count("qx_air_b"), 1);
}

TEST_F(CorvaneFilesTest, ADatabaseThatIsMissingAtStartUpIsConnectedAtALaterScan) {
  database = (dir.path() / "later" / "air.db").string();
  write_file(in / "A.air", "AMD 1;x\n");
  start();
  loop->scan();
  EXPECT_TRUE(std::filesystem::exists(in / "A.air"));
  EXPECT_NE(out.take().find("\n"), std::string::npos);  // the connect failure, printed by text
  std::filesystem::create_directory(dir.path() / "later");
  loop->scan();
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  EXPECT_EQ(reader().count("qx_air_corvane"), 1);
}

// Refuses each booking-key draw in turn (the Nth draw of a fresh database,
// through a trigger on the sequence's row). Whatever draw fails, no row is
// ever stored under another booking's key: each B or C row names its
// booking, and the header row under the same key must name the same one.
// Lines before a file's first header belong to the previous file's last
// booking. The file of the failed draw, and every later file that needs a
// key, wait; the next scan loads them all.
TEST_F(CorvaneFilesTest, AFailedKeyDrawLeavesTheFileWaitingAndNoRowTakesAStaleKey) {
  const std::vector<std::pair<std::string, std::string>> air_files = {
      {"A.air", "AMD a1;x\nB-a1\nAMD a2;y\nB-a2\n"},
      {"B.air", "B-a2\nAMD b1\nB-b1\nAMDRb2\nB-b2\n"},
      {"C.air", "C-b2\nAMD c1\nB-c1\n"}};
  const std::string rows_under_another_key =
      "select count(*) from (select airb_key k, substr(airb_0, 3) id from qx_air_b union all "
      "select airc_key, substr(airc_0, 3) from qx_air_c) r where not exists (select 1 from "
      "qx_air_corvane where air_key = r.k and substr(air_0, 5) = r.id)";
  for (int refused = 1; refused <= 5; ++refused) {
    SCOPED_TRACE("draw " + std::to_string(refused) + " refused");
    database = (dir.path() / ("air" + std::to_string(refused) + ".db")).string();
    for (const auto& [name, text] : air_files) write_file(in / name, text);
    start();
    ASSERT_TRUE(session->connect().ok());
    const std::string trigger =
        "create trigger refuse before update on qx_sequences when "
        "new.last_value = " +
        std::to_string(refused) + " begin select raise(abort, 'draw refused'); end";
    ASSERT_TRUE(session->execute(trigger, {}).ok());
    ASSERT_TRUE(session->commit().ok());

    loop->scan();
    std::string printed = out.take();
    EXPECT_NE(printed.find("No booking key could be drawn for "), std::string::npos) << printed;
    // A file that waits is followed by the completion line, as every file is.
    EXPECT_NE(printed.find("; the file stays for a later scan\n"
                           "File Read Complete. Waiting for Next File\n\n"),
              std::string::npos);
    EXPECT_EQ(reader().value(rows_under_another_key), "0");
    EXPECT_TRUE(std::filesystem::exists(in / "C.air"));  // needs the key of the file before

    ASSERT_TRUE(session->execute("drop trigger refuse", {}).ok());
    ASSERT_TRUE(session->commit().ok());
    loop->scan();
    for (const auto& [name, text] : air_files) EXPECT_TRUE(std::filesystem::exists(backup / name));
    EXPECT_EQ(reader().value(rows_under_another_key), "0");
    EXPECT_EQ(reader().rows("select distinct airb_0 from qx_air_b order by 1"),
              (std::vector<Row>{{"B-a1"}, {"B-a2"}, {"B-b1"}, {"B-b2"}, {"B-c1"}}));
    EXPECT_EQ(reader().rows("select distinct airc_0 from qx_air_c"), std::vector<Row>{{"C-b2"}});
  }
}

TEST_F(CorvaneFilesTest, APostgresDatabaseThatComesUpLaterIsLoadedThen) {
  std::string name = PostgresTestDatabase::unique_database_name();
  write_file(in / "A.air", "AMD 1;x\nH-1\nH-2\n");
  start(PostgresTestDatabase::target_text_for(name));
  loop->scan();
  loop->scan();
  EXPECT_TRUE(std::filesystem::exists(in / "A.air"));
  EXPECT_NE(out.text().find("does not exist"), std::string::npos);
  PostgresTestDatabase database(name, true);
  loop->scan();
  EXPECT_TRUE(std::filesystem::exists(backup / "A.air"));
  auto rows = TableReader::postgres(database.uri())
                  .rows("select airh_key, airh_serial, airh_0 from qx_air_h order by airh_serial");
  EXPECT_EQ(rows, (std::vector<Row>{{"1", "1", "H-1"}, {"1", "2", "H-2"}}));
}

}  // namespace
}  // namespace qx::corvane
