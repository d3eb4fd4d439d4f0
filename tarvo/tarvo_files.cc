#include "tarvo/tarvo_files.h"

#include "driver/console.h"
#include "driver/text_reading.h"

namespace qx::tarvo {
namespace {

std::string why_not_loaded(records::LoadOutcome outcome) {
  switch (outcome) {
    case records::LoadOutcome::key_not_drawn:
      return "no file key could be drawn";
    case records::LoadOutcome::connection_lost:
      return "the database connection was lost";
    case records::LoadOutcome::commit_failed:
      return "its commit failed";
    case records::LoadOutcome::committed:
      break;
  }
  return {};
}

}  // namespace

TarvoFiles::TarvoFiles(db::Session& session, bool verbose_flag, std::FILE* out)
    : session_(session),
      verbose_flag_(verbose_flag),
      out_(out),
      loader_(session, verbose_flag, out) {}

void TarvoFiles::handle_file(driver::FileJob& job) {
  driver::IoResult read = job.read(contents_);
  if (!read.ok()) {
    print("Cannot open " + job.name() + ": " + read.reason() + "; it stays for the next scan\n");
    print(kFileReadComplete);
    return;
  }
  print("Currently Processing " + job.name() + "\n");
  parse_records(job.name());
  records::LoadOutcome outcome = loader_.load_file();
  if (outcome != records::LoadOutcome::committed) {
    print("\nFile " + job.name() + " was not loaded: " + why_not_loaded(outcome) +
          "; nothing of it was stored and it stays for a later scan\n");
    print(kFileReadComplete);
    return;
  }
  if (verbose_flag_) {
    print("\nFile Moved As: " + job.source_display() + "---" + job.destination_display() + "\n");
  }
  print(kFileReadComplete);
  job.move_to_backup();
}

void TarvoFiles::parse_records(const std::string& name) {
  driver::end_at_ctrl_z(contents_);
  for (std::size_t line : driver::blank_nul_bytes(contents_, '\r')) {
    print("File " + name + " line " + std::to_string(line) + ": NUL byte read as a blank\n");
  }
  loader_.begin_file(name);
  std::size_t line_number = 0;
  for (std::string_view record : driver::split_at_carriage_returns(contents_)) {
    loader_.parse_line(record, ++line_number);
  }
}

void TarvoFiles::on_scan_without_files() {
  print(kFileReadComplete);
}

void TarvoFiles::print(const std::string& text) {
  driver::print_line(out_, text);
}

}  // namespace qx::tarvo
