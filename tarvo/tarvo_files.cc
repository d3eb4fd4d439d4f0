#include "tarvo/tarvo_files.h"

#include "driver/console.h"
#include "driver/text_reading.h"
#include "records/record_files.h"

namespace qx::tarvo {

TarvoFiles::TarvoFiles(db::Session& session, bool verbose_flag, driver::Console console)
    : session_(session),
      verbose_flag_(verbose_flag),
      console_(console),
      loader_(session, verbose_flag, console) {}

void TarvoFiles::handle_file(driver::FileJob& job) {
  if (!records::read_whole_file(job, contents_, console_)) return;
  console_.print("Currently Processing " + job.name() + "\n");
  parse_records(job.name());
  records::end_loaded_file(job, loader_.load_file(job.history_entry()), verbose_flag_, console_);
}

void TarvoFiles::parse_records(const std::string& name) {
  driver::end_at_ctrl_z(contents_);
  for (std::size_t line : driver::blank_nul_bytes(contents_, '\r')) {
    console_.about_line(name, line, "NUL byte read as a blank");
  }
  loader_.begin_file(name);
  std::size_t line_number = 0;
  for (std::string_view record : driver::split_at_carriage_returns(contents_)) {
    loader_.parse_line(record, ++line_number);
  }
}

void TarvoFiles::on_scan_without_files() {
  console_.print(records::kFileReadComplete);
}

}  // namespace qx::tarvo
