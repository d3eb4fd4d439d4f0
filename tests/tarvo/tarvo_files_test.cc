// The PNR loader taking files through the scan loop: what it prints, how it
// reads records, and what becomes of a file when its move, its commit or
// the connection fails. Every file is stored exactly once, or still waits
// in the input directory.
#include "tarvo/tarvo_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/loader_files_test.h"
#include "support/postgres_test_database.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"

namespace qx::tarvo {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

using qx::testing::PostgresTestDatabase;
using qx::testing::Row;
using qx::testing::TableReader;
using qx::testing::write_file;
using Rows = std::vector<Row>;

class TarvoFilesTest : public qx::testing::LoaderFilesTest {
 protected:
  TarvoFilesTest() : LoaderFilesTest("pnr.db") {}
  // A loader on `target` and its scan loop.
  void start(const std::string& target, bool verbose = false) {
    open_session(target);
    files = std::make_unique<TarvoFiles>(*session, verbose, out.file());
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

  std::unique_ptr<TarvoFiles> files;
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
  env.fail_read_always = false;
  loop->scan();
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

class TarvoFilesPostgresTest : public TarvoFilesTest {
 protected:
  void start_on_postgres() { start(database_pg.target_text()); }
  TableReader pg() const {
    return TableReader::postgres(qx::testing::test_server_conninfo(database_pg.name()));
  }
  long long stored(const std::string& table) const { return pg().count(table); }

  PostgresTestDatabase database_pg;
};

TEST_F(TarvoFilesPostgresTest, AFileWhoseCommitFailsStaysAndIsLoadedOnceLater) {
  database_pg.run(
      "create function qx_refuse_commit() returns trigger language plpgsql as "
      "$$ begin raise exception 'refused at commit'; end $$;"
      "create constraint trigger qx_refuse after insert on qx_tarvo_m0 "
      "deferrable initially deferred for each row execute function qx_refuse_commit()");
  write_file(in / "A.PNR", "AAheader\rM1one\rM2two\rCAcont\r");
  start_on_postgres();
  std::string printed = scan_output();
  EXPECT_NE(printed.find("refused at commit"), std::string::npos) << printed;
  EXPECT_NE(printed.find("File A.PNR was not loaded: its commit failed"), std::string::npos);
  EXPECT_TRUE(fs::exists(in / "A.PNR"));
  EXPECT_EQ(stored("qx_tarvo_m0"), 0);
  EXPECT_EQ(stored("qx_tarvo_m1"), 0);

  database_pg.run("drop trigger qx_refuse on qx_tarvo_m0");
  loop->scan();
  EXPECT_TRUE(fs::exists(backup / "A.PNR"));
  EXPECT_FALSE(fs::exists(in / "A.PNR"));
  EXPECT_EQ(pg().rows("select tm0_reference, tm0_loaded_flag from qx_tarvo_m0"),
            (Rows{{"2", "Y"}}));
  EXPECT_EQ(pg().rows("select tm1_reference, tm1_serial, tm1_1 from qx_tarvo_m1"),
            (Rows{{"2", "0", "on"}}));
  EXPECT_EQ(pg().rows("select tm2_51 from qx_tarvo_m2"), (Rows{{"CAcont"}}));
}

TEST_F(TarvoFilesPostgresTest, AFileMetByALostConnectionStaysAndIsLoadedOnceWhenItIsBack) {
  write_file(in / "A.PNR", "AAfirst\rM1a\r");
  start_on_postgres();
  loop->scan();
  ASSERT_TRUE(fs::exists(backup / "A.PNR"));

  database_pg.run("select pg_terminate_backend(pid) from pg_stat_activity where datname = '" +
                  database_pg.name() + "' and pid <> pg_backend_pid()");
  write_file(in / "B.PNR", "AAsecond\rM1b\rM1c\r");
  loop->scan();
  EXPECT_TRUE(fs::exists(in / "B.PNR"));
  EXPECT_EQ(stored("qx_tarvo_m0"), 1);

  loop->scan();
  EXPECT_TRUE(fs::exists(backup / "B.PNR"));
  EXPECT_EQ(pg().rows("select tm0_0 from qx_tarvo_m0 order by tm0_reference"),
            (Rows{{"AAfirst"}, {"AAsecond"}}));
  EXPECT_EQ(pg().rows("select tm1_1 from qx_tarvo_m1 order by tm1_reference, tm1_serial"),
            (Rows{{"a"}, {"b"}, {"c"}}));
}

}  // namespace
}  // namespace qx::tarvo
