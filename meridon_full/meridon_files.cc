#include "meridon_full/meridon_files.h"

#include "driver/console.h"
#include "driver/text_reading.h"
#include "meridon_full/mir_records.h"
#include "records/record_files.h"

namespace qx::meridon_full {

MeridonFiles::MeridonFiles(db::Session& session, bool verbose_flag, driver::Console console)
    : session_(session),
      verbose_flag_(verbose_flag),
      console_(console),
      loader_(session, verbose_flag, console) {}

void MeridonFiles::handle_file(driver::FileJob& job) {
  console_.print("Currently Processing " + job.name() + "\n");
  if (!records::read_whole_file(job, body_, console_)) {
    console_.print(kFileNotFound + job.name() + "\n");
    return;
  }
  parse_lines(job.name());
  records::LoadOutcome outcome = loader_.load_file(job.history_entry());
  if (records::end_loaded_file(job, outcome, verbose_flag_, console_) ==
      records::FileEnd::not_moved) {
    console_.print(kFileNotFound + job.name() + "\n");
  }
}

void MeridonFiles::parse_lines(const std::string& name) {
  driver::end_at_ctrl_z(body_);
  take_header();
  const std::size_t header_lines = header_.empty() ? 0 : 1;
  auto print_nul = [&](std::size_t line) {
    console_.about_line(name, line, "NUL byte read as a blank");
  };
  // A line feed can only be the header's last character.
  if (!driver::blank_nul_bytes(header_, '\n').empty()) print_nul(1);
  for (std::size_t line : driver::blank_nul_bytes(body_, '\r')) print_nul(header_lines + line);

  loader_.begin_file(name);
  std::size_t line_number = 0;
  if (header_lines != 0) loader_.parse_line(header_, ++line_number);
  for (std::string_view line : driver::split_at_carriage_returns(body_)) {
    loader_.parse_line(line, ++line_number);
  }
}

void MeridonFiles::take_header() {
  header_.clear();
  // Only a header is read as a block of fixed length: a file without one
  // would lose the records of its first 342 characters into one garbled
  // row, so its lines are all read as lines.
  if (!body_.starts_with(kHeaderTag)) return;
  driver::TextModeLine header = driver::read_text_mode_line(body_, kHeaderLength);
  header_ = std::move(header.line);
  // The record end right after a whole header is the header's own, not an
  // empty first line of the body.
  std::string_view rest = std::string_view(body_).substr(header.consumed);
  std::size_t own_end = 0;
  if (header_.size() == kHeaderLength) {
    own_end = rest.starts_with("\r\n") ? 2 : rest.starts_with('\r') ? 1 : 0;
  }
  body_.erase(0, header.consumed + own_end);
}

}  // namespace qx::meridon_full
