// The AIR loader taking files through the scan loop: what it prints, what
// it reads, and what becomes of files when moves or the database fail.
#include "corvane/corvane_files.h"

#include <gtest/gtest.h>

#include "support/loader_files_test.h"
#include "support/postgres_test_database.h"
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
  // A loader on `target` and its scan loop.
  void start(const std::string& target) {
    open_session(target);
    files = std::make_unique<CorvaneFiles>(*session, AirBuild::base, out.file());
    start_loop(*files, "*.air", std::chrono::milliseconds(3600));
  }
  void start() { start("test@" + database); }

  std::unique_ptr<CorvaneFiles> files;
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
