// What the PNR and MIR loaders guarantee alike, checked on each: every file
// takes one key, even a file of no known record; the verbose lines of a
// load and of a file's move; the progress lines of a scan; and a file whose
// key cannot be drawn, that cannot be read or moved, whose database is
// missing, whose commit fails or whose connection goes stores nothing twice
// and waits in the input directory to be loaded once later. What differs
// is each loader's own: its texts and its layouts, given by its format
// below.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "meridon_full/meridon_file_handler.h"
#include "meridon_full/mir_loader.h"
#include "meridon_full/mir_records.h"
#include "scan/scan_observer.h"
#include "support/loader_files_test.h"
#include "support/postgres_test_database.h"
#include "support/program_run.h"
#include "support/record_loader_test.h"
#include "support/table_reader.h"
#include "support/temp_dir.h"
#include "tarvo/pnr_loader.h"
#include "tarvo/pnr_records.h"
#include "tarvo/tarvo_file_handler.h"

namespace qx::record_loader {
namespace {

namespace fs = std::filesystem;
using qx::testing::Row;
using qx::testing::write_file;
using Rows = std::vector<Row>;
// A query and the rows it must give.
using Check = std::pair<std::string, Rows>;

struct TableOf {
  std::string table;
  std::string prefix;
};

// Each format's loader, file handling, and files of records of three types:
// the header, a "first" type and a "second" type.
struct Pnr {
  using Loader = tarvo::PnrLoader;
  using Files = tarvo::TarvoFileHandler;
  static constexpr RecordFileSteps kSteps = tarvo::kPnrFileSteps;
  static constexpr const char* kExtension = ".PNR";
  static constexpr const char* kSequence = "TARVO_SEQUENCE";
  static std::span<const records::RecordType> types() { return tarvo::pnr_record_types(); }
  static std::vector<std::string> unknown_records() { return {"XX", "", "m1"}; }
  static std::string header(const std::string& text) { return "AA" + text; }
  static constexpr std::array<const char*, 2> kTags = {"M1", "M2"};
  static inline const std::array<TableOf, 3> kTables = {
      {{"qx_tarvo_m0", "tm0_"}, {"qx_tarvo_m1", "tm1_"}, {"qx_tarvo_m2", "tm2_"}}};
  // A file whose second record continues the M2 line.
  static constexpr const char* kContinued = "AAheader\rM1one\rM2two\rCAcont\r";
  static std::vector<Check> continued_stored_under_2() {
    return {{"select tm0_reference, tm0_loaded_flag from qx_tarvo_m0", {{"2", "Y"}}},
            {"select tm1_reference, tm1_serial, tm1_1 from qx_tarvo_m1", {{"2", "0", "on"}}},
            {"select tm2_51 from qx_tarvo_m2", {{"CAcont"}}}};
  }
  // The file handling's own texts: nothing is said before a file is read,
  // nothing after a file that could not be read, and a scan that finds no
  // file ends with the completion line all the same.
  static constexpr const char* kLowerExtension = ".pnr";
  static constexpr bool kAnnouncedBeforeRead = false;
  static constexpr const char* kNotFound = "";
  static constexpr bool kCompleteWithoutFiles = true;
  // A verbose load of a header and three records of the first type.
  static constexpr const char* kVerboseLoad =
      "\n M0(Header) Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
      "\nM1 Data Insert. Total Record(s) = 3 . Loading Record = 1 \n"
      "\nM1 Data Insert. Total Record(s) = 3 . Loading Record = 2 \n"
      "\nM1 Data Insert. Total Record(s) = 3 . Loading Record = 3 \n"
      "\nM0 Record Initializing"
      "\nM1 Record Initializing";
  static std::vector<Check> verbose_load_stored() {
    return {{"select tm1_serial, tm1_1 from qx_tarvo_m1 order by tm1_serial",
             {{"0", "on"}, {"1", "tw"}, {"2", "th"}}}};
  }
  // A verbose file's contents and its lines before the move's line.
  static std::string verbose_file() { return "AAheader\r"; }
  static constexpr const char* kVerboseFile =
      "\n M0(Header) Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
      "\nM0 Record Initializing";
};

struct Mir {
  using Loader = meridon_full::MirLoader;
  using Files = meridon_full::MeridonFileHandler;
  static constexpr RecordFileSteps kSteps = meridon_full::kMirFileSteps;
  static constexpr const char* kExtension = ".MIR";
  static constexpr const char* kSequence = "MERIDON_SEQUENCE";
  static std::span<const records::RecordType> types() { return meridon_full::mir_record_types(); }
  static std::vector<std::string> unknown_records() { return {"A01", "", "t51"}; }
  static std::string header(const std::string& text) {
    std::string record = "T51" + text;
    record.resize(342, '.');
    return record;
  }
  static constexpr std::array<const char*, 2> kTags = {"A02", "A14"};
  static inline const std::array<TableOf, 3> kTables = {
      {{"qx_meridon_t5", "mt5_"}, {"qx_meridon_a02", "ma02_"}, {"qx_meridon_a14", "ma14_"}}};
  static inline const std::string kContinued = header("") + "\rA02one\rA14two\r";
  static std::vector<Check> continued_stored_under_2() {
    return {{"select mt5_reference, mt5_file_name from qx_meridon_t5", {{"2", "A.MIR"}}},
            {"select ma02_reference, ma02_serial, ma02_1 from qx_meridon_a02", {{"2", "0", "one"}}},
            {"select ma14_reference, ma14_1 from qx_meridon_a14", {{"2", "two"}}}};
  }
  // The file handling's own texts: a file is named before it is read, one
  // that could not be read or copied is "not found", and a scan that finds
  // no file says nothing.
  static constexpr const char* kLowerExtension = ".mir";
  static constexpr bool kAnnouncedBeforeRead = true;
  static constexpr const char* kNotFound = "File Not Found...";
  static constexpr bool kCompleteWithoutFiles = false;
  // A verbose load of a header and three records of the first type: the
  // header is cleared last.
  static constexpr const char* kVerboseLoad =
      "\nT51(Header) Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
      "\nA02 Data Insert. Total Record(s) = 3 . Loading Record = 1 \n"
      "\nA02 Data Insert. Total Record(s) = 3 . Loading Record = 2 \n"
      "\nA02 Data Insert. Total Record(s) = 3 . Loading Record = 3 \n"
      "\nA02 Record Initializing"
      "\nHeader(T51) Record Initializing";
  static std::vector<Check> verbose_load_stored() {
    return {{"select mt5_reference, mt5_serial, mt5_file_name, mt5_0, mt5_1 from qx_meridon_t5",
             {{"1", "0", "F.MIR", "T5", "1h"}}},
            {"select ma02_reference, ma02_serial, ma02_0, ma02_1 from qx_meridon_a02 "
             "order by ma02_serial",
             {{"1", "0", "A02", "one"}, {"1", "1", "A02", "two"}, {"1", "2", "A02", "three"}}}};
  }
  // A verbose file's contents and its lines before the move's line.
  static std::string verbose_file() { return header("") + "\rA14x\r"; }
  static constexpr const char* kVerboseFile =
      "\nT51(Header) Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
      "\nA14 Data Insert. Total Record(s) = 1 . Loading Record = 1 \n"
      "\nA14 Record Initializing"
      "\nHeader(T51) Record Initializing";
};

// The format's loader, but one that meets a record beginning "!!" with the
// exception a cut past a record's end throws (and takes no continuation
// lines): a file whose text cannot be taken apart.
template <class Loader>
class ThrowingLoader : public Loader {
 public:
  using Loader::Loader;

 private:
  bool take_line(std::string_view, std::string_view line, std::size_t) override {
    if (line.starts_with("!!")) throw std::out_of_range("a cut past the record's end");
    return false;
  }
};

template <class Format>
std::string name(const std::string& stem) {
  return stem + Format::kExtension;
}

template <class Format>
class RecordLoaderGuarantees : public qx::testing::RecordLoaderTest<typename Format::Loader> {
 protected:
  RecordLoaderGuarantees() : qx::testing::RecordLoaderTest<typename Format::Loader>("f.db") {}
  std::vector<std::string> header_and_two(const std::string& text) {
    return {Format::header(text), Format::kTags[0] + std::string("one"),
            Format::kTags[1] + std::string("two")};
  }
  void expect_nothing_stored() {
    for (const auto& type : Format::types()) {
      EXPECT_EQ(this->count(std::string(type.table)), 0) << type.table;
    }
  }
  Rows column(const TableOf& of, const std::string& columns) {
    return this->rows("select " + columns + " from " + of.table);
  }
};

using Formats = ::testing::Types<Pnr, Mir>;
TYPED_TEST_SUITE(RecordLoaderGuarantees, Formats);

TYPED_TEST(RecordLoaderGuarantees, AFileWithoutKnownRecordsStillUsesAKeyAndPrintsNothing) {
  this->start(true);
  ASSERT_EQ(this->load(name<TypeParam>("EMPTY"), TypeParam::unknown_records()),
            LoadOutcome::committed);
  EXPECT_EQ(this->out.text(), "");
  this->expect_nothing_stored();
  EXPECT_EQ(this->loader->file_key(), 1);
  ASSERT_EQ(this->load(name<TypeParam>("NEXT"), {TypeParam::kTags[1]}), LoadOutcome::committed);
  const TableOf& second = TypeParam::kTables[2];
  EXPECT_EQ(this->column(second, second.prefix + "reference"), (Rows{{"2"}}));
}

TYPED_TEST(RecordLoaderGuarantees, VerboseLoadAnnouncesEveryRowThenEveryClearedType) {
  this->start(true);
  const std::string first = TypeParam::kTags[0];
  ASSERT_EQ(this->load(name<TypeParam>("F"), {TypeParam::header("header"), first + "one",
                                              first + "two", first + "three"}),
            LoadOutcome::committed);
  EXPECT_EQ(this->out.text(), TypeParam::kVerboseLoad);
  for (const auto& [sql, rows] : TypeParam::verbose_load_stored()) {
    EXPECT_EQ(this->rows(sql), rows) << sql;
  }
}

TYPED_TEST(RecordLoaderGuarantees, WithoutAKeyNothingOfTheFileIsStoredAndItLoadsLaterOnce) {
  const std::string sequence = TypeParam::kSequence;
  this->run_sql("delete from qx_sequences where sequence_name = '" + sequence + "'");
  EXPECT_EQ(this->load(name<TypeParam>("F"), this->header_and_two("header")),
            LoadOutcome::key_not_drawn);
  EXPECT_NE(this->out.take(), "");  // the failed draw, printed by code
  this->expect_nothing_stored();

  this->run_sql("insert into qx_sequences values ('" + sequence + "', 40)");
  EXPECT_EQ(this->load(name<TypeParam>("F"), this->header_and_two("header")),
            LoadOutcome::committed);
  const auto& [header, first, second] = TypeParam::kTables;
  EXPECT_EQ(this->column(header, header.prefix + "reference, " + header.prefix + "file_name"),
            (Rows{{"41", name<TypeParam>("F")}}));
  EXPECT_EQ(this->column(first, first.prefix + "reference"), (Rows{{"41"}}));
  EXPECT_EQ(this->column(second, second.prefix + "reference"), (Rows{{"41"}}));
}

constexpr const char* kComplete = "\nFile Read Complete. Waiting for Next File\n";

// The file handling through the scan loop on SQLite: what it prints, and
// what becomes of a file that cannot be read or moved, or whose database is
// missing. Every file is stored exactly once, or still waits in the input
// directory.
template <class Format>
class RecordScanGuarantees : public qx::testing::LoaderFilesTest {
 protected:
  RecordScanGuarantees() : LoaderFilesTest("files.db") {}
  void start(bool verbose = false) {
    open_session("test@" + database);
    files = std::make_unique<typename Format::Files>(*session, verbose, out.file());
    start_loop(*files, pattern(), std::chrono::milliseconds(10000));
  }
  static std::string pattern() { return std::string("*") + Format::kExtension; }
  // What a scan printed after its scanning line.
  std::string scan_output() {
    loop->scan();
    std::string printed = out.take();
    const std::string scanning = " for " + pattern() + " Files\n";
    const auto end = printed.find(scanning);
    EXPECT_NE(end, std::string::npos) << printed;
    return end == std::string::npos ? printed : printed.substr(end + scanning.size());
  }
  long long stored(const TableOf& of) const { return reader().count(of.table); }
  // A header and one record of the first type.
  static std::string one_record() {
    return Format::header("header") + "\r" + Format::kTags[0] + "one\r";
  }
  static std::string announced(const std::string& file) {
    return "Currently Processing " + file + "\n";
  }
  static std::string not_found(const std::string& file) {
    return *Format::kNotFound == 0 ? std::string() : Format::kNotFound + file + "\n";
  }

  // A file loaded but not moved, because its copy into the backup
  // directory failed or, after the copy, the removal of the input file: it
  // is named, loaded once and moved at a later scan. "File Not Found" says
  // the copy failed; a failed removal is told by the move's own line alone.
  void expect_loaded_once_and_moved_later(bool copy_fails, const std::string& reason) {
    const std::string a = name<Format>("A");
    write_file(in / a, one_record());
    env.rename_crosses_devices = true;
    env.fail_copy_always = copy_fails;
    env.fail_remove_at = copy_fails ? 0 : 1;
    start();
    std::string printed = scan_output();
    EXPECT_TRUE(printed.starts_with(announced(a) + kComplete + "File " + a +
                                    " was loaded but could not be moved to "))
        << printed;
    EXPECT_NE(printed.find(reason), std::string::npos) << printed;
    if (!not_found(a).empty()) {
      EXPECT_EQ(printed.ends_with(not_found(a)), copy_fails) << printed;
    }
    EXPECT_TRUE(fs::exists(in / a));
    loop->scan();
    for (const auto& of : {Format::kTables[0], Format::kTables[1]}) {
      EXPECT_EQ(stored(of), 1) << of.table;
    }
    env.fail_copy_always = false;
    loop->scan();
    EXPECT_FALSE(fs::exists(in / a));
    EXPECT_TRUE(fs::exists(backup / a));
    for (const auto& of : {Format::kTables[0], Format::kTables[1]}) {
      EXPECT_EQ(stored(of), 1) << of.table;
    }
  }

  std::unique_ptr<scan::FileHandler> files;
};

TYPED_TEST_SUITE(RecordScanGuarantees, Formats);

TYPED_TEST(RecordScanGuarantees, PrintsTwoLinesPerFileAndTheFormatsLinesForAScanWithoutFiles) {
  const std::string a = name<TypeParam>("A"), b = std::string("b") + TypeParam::kLowerExtension;
  write_file(this->in / a, this->one_record());
  write_file(this->in / b, "");
  this->start();
  EXPECT_EQ(this->scan_output(), this->announced(a) + kComplete + this->announced(b) + kComplete);
  EXPECT_TRUE(fs::exists(this->backup / a));
  EXPECT_TRUE(fs::exists(this->backup / b));
  EXPECT_EQ(this->scan_output(), TypeParam::kCompleteWithoutFiles ? kComplete : "");
}

TYPED_TEST(RecordScanGuarantees, VerboseNamesTheMoveBeforeTheCompletionLine) {
  const std::string a = name<TypeParam>("A");
  write_file(this->in / a, TypeParam::verbose_file());
  this->start(true);
  EXPECT_EQ(this->scan_output(), this->announced(a) + TypeParam::kVerboseFile +
                                     "\nFile Moved As: " + (this->in / a).string() + "---" +
                                     (this->backup / a).string() + "\n" + kComplete);
}

TYPED_TEST(RecordScanGuarantees, AFileThatCannotBeReadIsNamedAndStaysForTheNextScan) {
  const std::string a = name<TypeParam>("A");
  write_file(this->in / a, TypeParam::header("") + "\r");
  this->env.fail_read_always = true;
  this->start();
  std::string printed = this->scan_output();
  const std::string before = TypeParam::kAnnouncedBeforeRead ? this->announced(a) : "";
  EXPECT_TRUE(printed.starts_with(before + "Cannot open " + a + ": ")) << printed;
  EXPECT_TRUE(printed.ends_with(kComplete + this->not_found(a))) << printed;
  EXPECT_TRUE(fs::exists(this->in / a));
  // Told when it starts, not again at every scan while it lasts.
  EXPECT_EQ(this->scan_output().find("Cannot open"), std::string::npos);
  this->env.fail_read_always = false;
  EXPECT_NE(this->scan_output().find("File " + a + " can be read again"), std::string::npos);
  EXPECT_TRUE(fs::exists(this->backup / a));
  EXPECT_EQ(this->stored(TypeParam::kTables[0]), 1);
}

TYPED_TEST(RecordScanGuarantees, AFileWhoseCopyFailsIsNamedNotFoundLoadedOnceAndMovedLater) {
  this->expect_loaded_once_and_moved_later(true, "write failed");
}

TYPED_TEST(RecordScanGuarantees, AFileWhoseRemovalFailsIsNamedLoadedOnceAndMovedLater) {
  this->expect_loaded_once_and_moved_later(false, "the input file could not be removed");
}

TYPED_TEST(RecordScanGuarantees, ADatabaseMissingAtStartUpIsConnectedAtALaterScan) {
  const std::string a = name<TypeParam>("A");
  this->database = (this->dir.path() / "later" / "files.db").string();
  write_file(this->in / a, TypeParam::header("") + "\r");
  this->start();
  this->loop->scan();
  EXPECT_TRUE(fs::exists(this->in / a));
  fs::create_directory(this->dir.path() / "later");
  this->loop->scan();
  EXPECT_TRUE(fs::exists(this->backup / a));
  EXPECT_EQ(this->stored(TypeParam::kTables[0]), 1);
}

// The file handling on PostgreSQL, where a commit can fail and a connection
// can be cut by the server.
template <class Format>
class RecordFilesGuarantees : public qx::testing::LoaderFilesTest {
 protected:
  RecordFilesGuarantees() : LoaderFilesTest("unused.db") {}
  void SetUp() override {
    LoaderFilesTest::SetUp();
    open_session(database_pg.target_text());
    files = std::make_unique<typename Format::Files>(*session, false, out.file());
    start_loop(*files, std::string("*") + Format::kExtension, std::chrono::milliseconds(10000));
  }
  qx::testing::TableReader pg() const {
    return qx::testing::TableReader::postgres(
        qx::testing::test_server_conninfo(database_pg.name()));
  }
  long long stored(const TableOf& of) const { return pg().count(of.table); }
  // A file of a header record and `records` of the first type.
  static std::string file(const std::string& header_text, std::vector<std::string> records) {
    std::string contents = Format::header(header_text) + "\r";
    for (const auto& record : records) contents += Format::kTags[0] + record + "\r";
    return contents;
  }

  qx::testing::PostgresTestDatabase database_pg;
  std::unique_ptr<scan::FileHandler> files;
};

TYPED_TEST_SUITE(RecordFilesGuarantees, Formats);

TYPED_TEST(RecordFilesGuarantees, AFileWhoseCommitFailsStaysAndIsLoadedOnceLater) {
  const TableOf& refused = TypeParam::kTables[1];
  this->database_pg.run(
      "create function qx_refuse_commit() returns trigger language plpgsql as "
      "$$ begin raise exception 'refused at commit'; end $$;"
      "create constraint trigger qx_refuse after insert on " +
      refused.table +
      " deferrable initially deferred for each row execute function qx_refuse_commit()");
  const std::string a = name<TypeParam>("A");
  write_file(this->in / a, TypeParam::kContinued);
  this->loop->scan();
  std::string printed = this->out.take();
  EXPECT_NE(printed.find("refused at commit"), std::string::npos) << printed;
  EXPECT_NE(printed.find("File " + a + " was not loaded: its commit failed"), std::string::npos);
  EXPECT_TRUE(fs::exists(this->in / a));
  for (const auto& of : TypeParam::kTables) EXPECT_EQ(this->stored(of), 0) << of.table;

  this->database_pg.run("drop trigger qx_refuse on " + refused.table);
  this->loop->scan();
  EXPECT_TRUE(fs::exists(this->backup / a));
  EXPECT_FALSE(fs::exists(this->in / a));
  for (const auto& [sql, rows] : TypeParam::continued_stored_under_2()) {
    EXPECT_EQ(this->pg().rows(sql), rows) << sql;
  }
}

// Only a commit refused for the file's own data counts against the file;
// a database that fails it never does, however often.
TYPED_TEST(RecordFilesGuarantees, OnlyOwnDataRefusalsSetAFileAsideAfterItsAttempts) {
  const fs::path failed = this->dir.make_dir("failed");
  this->failed = {failed.string(), 2, 1 << 20};
  this->start_loop(*this->files, std::string("*") + TypeParam::kExtension,
                   std::chrono::milliseconds(10000));
  const TableOf& refused = TypeParam::kTables[1];
  for (const char* errcode : {"23514", "P0001"}) {
    SCOPED_TRACE(errcode);
    this->database_pg.run(
        "create or replace function qx_refuse_commit() returns trigger language plpgsql as "
        "$$ begin raise exception 'refused at commit' using errcode = '" +
        std::string(errcode) +
        "'; end $$;"
        "create constraint trigger qx_refuse after insert on " +
        refused.table +
        " deferrable initially deferred for each row execute function qx_refuse_commit()");
    const std::string a = name<TypeParam>(errcode);
    write_file(this->in / a, TypeParam::kContinued);
    const bool own_data = errcode == std::string("23514");
    for (int scan = 1; scan <= 3; ++scan) {
      this->loop->scan();
      const bool set_aside = own_data && scan >= 2;
      EXPECT_EQ(fs::exists(this->in / a), !set_aside) << scan;
      EXPECT_EQ(fs::exists(failed / (a + ".reason")), set_aside) << scan;
    }
    this->database_pg.run("drop trigger qx_refuse on " + refused.table);
    for (const auto& of : TypeParam::kTables) EXPECT_EQ(this->stored(of), 0) << of.table;
  }
  EXPECT_NE(this->out.text().find("its commit was refused for the file's own data"),
            std::string::npos)
      << this->out.text();
}

// A file of no record this loader knows is another format's, or none; a
// file whose text cannot be taken apart is taken alike. Either is told, and
// set aside unloaded when there is a failed directory; without one it is
// loaded with no rows.
TYPED_TEST(RecordFilesGuarantees, AFileOfNoKnownRecordIsToldAndSetAsideUnloaded) {
  auto& session = *this->session;
  this->files = std::make_unique<RecordFileHandler>(
      session,
      std::make_unique<ThrowingLoader<typename TypeParam::Loader>>(session, false,
                                                                   this->out.file()),
      TypeParam::kSteps, false, this->out.file());
  std::string unknown;
  for (const auto& record : TypeParam::unknown_records()) unknown += record + "\r";
  struct Kind {
    std::string contents, told, reason;
  };
  const Kind kinds[] = {
      {unknown, " holds no record this loader knows; ", "no_known_record"},
      {this->file("header", {"a"}) + "!!cut\r",
       " cannot be taken apart into records (a cut past the record's end); ", "unparsable"}};
  // What the loop's observer is told of each file: its outcome and reason.
  struct Outcomes : scan::ScanObserver {
    void file_done(const scan::FileReport& report) override {
      seen += report.name + " " + std::string(scan::outcome_name(report.outcome)) + " " +
              std::string(scan::set_aside_name(report.set_aside)) + "\n";
    }
    std::string seen;
  };
  for (const auto& [contents, told, reason] : kinds) {
    SCOPED_TRACE(told);
    const std::string a = name<TypeParam>("A"), b = name<TypeParam>("B");
    this->failed = {};
    this->start_loop(*this->files, std::string("*") + TypeParam::kExtension,
                     std::chrono::milliseconds(10000));
    write_file(this->in / a, contents);
    this->loop->scan();
    EXPECT_TRUE(fs::exists(this->backup / a));  // without a failed directory, loaded as ever

    const fs::path failed = this->dir.make_dir("failed");
    this->failed = {failed.string(), 3, 1 << 20};
    this->start_loop(*this->files, std::string("*") + TypeParam::kExtension,
                     std::chrono::milliseconds(10000));
    Outcomes outcomes;
    this->loop->observe(outcomes);
    write_file(this->in / b, contents);
    this->loop->scan();
    EXPECT_EQ(outcomes.seen, b + " failed " + reason + "\n");
    EXPECT_TRUE(fs::exists(failed / b));
    EXPECT_TRUE(fs::exists(failed / (b + ".reason")));
    EXPECT_EQ(qx::testing::occurrences(this->out.take(), told), 2u);
    EXPECT_EQ(this->pg().count("qx_load_history"), 1);  // A's row only
    for (const auto& of : TypeParam::kTables) EXPECT_EQ(this->stored(of), 0) << of.table;
    this->database_pg.run("delete from qx_load_history");
    fs::remove_all(failed);
  }
}

TYPED_TEST(RecordFilesGuarantees, AFileMetByALostConnectionStaysAndIsLoadedOnceWhenItIsBack) {
  const TableOf& header = TypeParam::kTables[0];
  const TableOf& first = TypeParam::kTables[1];
  const std::string a = name<TypeParam>("A"), b = name<TypeParam>("B");
  write_file(this->in / a, this->file("first", {"a"}));
  this->loop->scan();
  ASSERT_TRUE(fs::exists(this->backup / a));

  this->database_pg.run("select pg_terminate_backend(pid) from pg_stat_activity where datname = '" +
                        this->database_pg.name() + "' and pid <> pg_backend_pid()");
  write_file(this->in / b, this->file("second", {"b", "c"}));
  this->loop->scan();
  EXPECT_TRUE(fs::exists(this->in / b));
  EXPECT_EQ(this->stored(header), 1);

  this->loop->scan();
  EXPECT_TRUE(fs::exists(this->backup / b));
  const std::string h = header.prefix, f = first.prefix;
  EXPECT_EQ(this->pg().rows("select " + h + "file_name from " + header.table + " order by " + h +
                            "reference"),
            (Rows{{a}, {b}}));
  EXPECT_EQ(this->pg().rows("select " + f + "1 from " + first.table + " order by " + f +
                            "reference, " + f + "serial"),
            (Rows{{"a"}, {"b"}, {"c"}}));
}

}  // namespace
}  // namespace qx::record_loader
