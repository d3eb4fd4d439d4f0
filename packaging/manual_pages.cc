// Writes the manual page of one installed program, for the package:
//   qx_manual_page PROGRAM > PROGRAM.1
// A loader's options come from the table its --help prints, so the page
// and the program cannot disagree; the rest of each page is kept here, in
// one row per program.
#include <cstdio>
#include <string>
#include <string_view>

#include "corvane/corvane_texts.h"
#include "generator/generate_command.h"
#include "meridon_full/meridon_full_texts.h"
#include "program/command_line.h"
#include "program/program_start.h"
#include "tarvo/tarvo_texts.h"

namespace {

using qx::program::roff;

struct Page {
  std::string_view program;
  std::string_view summary;  // the NAME line after "PROGRAM - "
  std::string synopsis;      // without the program's name
  std::string_view description;
  bool loader;  // options, exit statuses and files of a loader
};

// The loaders' usage lines, without "Usage: PROGRAM" and the blank lines.
std::string arguments_of(std::string_view usage, std::string_view program) {
  std::string_view text = usage;
  const std::size_t at = text.find(program);
  text.remove_prefix(at == std::string_view::npos ? 0 : at + program.size());
  while (!text.empty() && (text.front() == ' ')) text.remove_prefix(1);
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  return std::string(text);
}

constexpr std::string_view kAirDescription =
    "watches INPUT-DIR for *.air interface files, loads each line of each file into the AIR "
    "tables of the database and commits it, then moves the file to BACKUP-DIR. The builds "
    "corvane, corvane_narrow, corvane_field_serial and corvane_field_serial_sqllib18 differ "
    "only in the rows they write for a few record kinds; all four share the AIR tables.";
constexpr std::string_view kPnrDescription =
    "watches INPUT-DIR for *.PNR interface files, loads each file into the PNR tables of the "
    "database in one transaction, then moves it to BACKUP-DIR. A fifth argument y or Y prints "
    "every row as it is filed.";
constexpr std::string_view kMirDescription =
    "watches INPUT-DIR for *.MIR interface files, loads each file into the MIR tables of the "
    "database in one transaction, then moves it to BACKUP-DIR. A fifth argument y or Y prints "
    "every row as it is filed.";

std::string air_synopsis() {
  return arguments_of(qx::corvane::kUsage, "corvane") + " [OPTION...]";
}

const Page* find_page(std::string_view program) {
  static const Page kPages[] = {
      {"corvane", "load AIR interface files into the back-office database", air_synopsis(),
       kAirDescription, true},
      {"corvane_narrow", "load AIR interface files (build narrow)", air_synopsis(), kAirDescription,
       true},
      {"corvane_field_serial", "load AIR interface files (build field_serial)", air_synopsis(),
       kAirDescription, true},
      {"corvane_field_serial_sqllib18", "load AIR interface files (build field_serial_sqllib18)",
       air_synopsis(), kAirDescription, true},
      {"tarvo", "load PNR interface files into the back-office database",
       arguments_of(qx::tarvo::kUsage, "tarvo") + " [OPTION...]", kPnrDescription, true},
      {"meridon_full", "load MIR interface files into the back-office database",
       arguments_of(qx::meridon_full::kUsage, "meridon_full") + " [OPTION...]", kMirDescription,
       true},
      {"qx_schema", "print the loaders' tables as SQL", "sqlite|postgresql",
       "prints the tables, indexes and sequences of every loader as SQL for sqlite3 or psql. "
       "Applying it again to a database that has some of them adds only what is missing.",
       false},
      {"qx_generate", "write sample interface files",
       arguments_of(
           qx::generator::generate_usage().substr(0, qx::generator::generate_usage().find('\n')),
           "qx_generate"),
       "writes sample interface files of any loader's format, the same files for the same "
       "seed, for trying a loader out and for measuring it.",
       false},
  };
  for (const Page& page : kPages) {
    if (page.program == program) return &page;
  }
  return nullptr;
}

constexpr std::string_view kLoaderSections =
    ".PP\n"
    "USER@SERVICE names the database: a PostgreSQL connection URI or service, or an SQLite "
    "file. PASSWORD is the password, or - to leave it to the database client (PGPASSWORD or "
    "the password file). A file is never lost, loaded half, or loaded twice: the load history "
    "in the database records every file loaded.\n"
    ".SH OPTIONS\n"
    "@OPTIONS@\n"
    ".SH EXIT STATUS\n"
    ".TP\n0\nstopped by SIGINT, SIGTERM or SIGHUP; with --once every file found was loaded and "
    "moved; with --check OK\n"
    ".TP\n2\na command line the program cannot run with, an unreadable password file, or a "
    "backup directory that is the input directory\n"
    ".TP\n3\n--once or --check: no database connection, or (--check) tables missing\n"
    ".TP\n4\n--once or --check: the input directory cannot be read\n"
    ".TP\n5\n--once: files were left waiting or loaded but not moved\n"
    ".TP\n6\n--check: the backup directory cannot be written\n"
    ".SH FILES\n"
    ".TP\n/etc/qx-loaders/PROGRAM/INSTANCE.conf\n"
    "the settings of the unit PROGRAM@INSTANCE.service\n"
    ".TP\n/var/lib/qx-loaders\n"
    "the state directory of the units: the default SQLite database and directories\n";

std::string page_text(const Page& page) {
  std::string upper;
  for (char c : page.program) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  std::string text = ".TH " + roff(upper) + " 1 \"\" \"" + std::string(qx::program::kPackageName) +
                     " " + std::string(qx::program::kPackageVersion) + "\" \"User Commands\"\n";
  text += ".SH NAME\n" + roff(page.program) + " \\- " + roff(page.summary) + "\n";
  text += ".SH SYNOPSIS\n.B " + roff(page.program) + "\n" + roff(page.synopsis) + "\n";
  text += ".SH DESCRIPTION\n.B " + roff(page.program) + "\n" + roff(page.description) + "\n";
  // Macro lines stand as written; text lines are escaped.
  if (page.loader) {
    std::string_view sections = kLoaderSections;
    for (std::size_t start = 0; start < sections.size();) {
      const std::size_t end = sections.find('\n', start) + 1;
      const std::string_view line = sections.substr(start, end - start);
      if (line == "@OPTIONS@\n") {
        text += qx::program::options_manual();
      } else {
        text += line.starts_with('.') ? std::string(line) : roff(line);
      }
      start = end;
    }
  }
  text += ".SH SEE ALSO\n" + roff("/usr/share/doc/qx-loaders/README.md") + "\n";
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const Page* page = argc == 2 ? find_page(argv[1]) : nullptr;
  if (page == nullptr) {
    std::fputs("usage: qx_manual_page PROGRAM\n", stderr);
    return 2;
  }
  const std::string text = page_text(*page);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
