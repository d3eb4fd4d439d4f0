#include "tarvo/pnr_loader.h"

#include <algorithm>

#include "db/text_primitives.h"
#include "driver/console.h"
#include "tarvo/pnr_records.h"

namespace qx::tarvo {

PnrLoader::PnrLoader(db::Session& session, bool verbose_flag, driver::Console console)
    : console_(console),
      verbose_flag_(verbose_flag),
      records_(pnr_record_types()),
      load_(session, records_, kPnrLoadPlan, console),
      m2_(*records_.find(kContinuedTag)) {}

void PnrLoader::begin_file(std::string_view file_name) {
  pnr_file_name_ = file_name;
  records_.clear();
}

void PnrLoader::parse_line(std::string_view line, std::size_t line_number) {
  if (line.size() > kLineLimit) {
    print_about_line(line_number, std::to_string(line.size()) + " characters, cut to " +
                                      std::to_string(kLineLimit));
    line = line.substr(0, kLineLimit);
  }
  std::string_view tag = db::substr(line, 1, kTagLength);
  bool continuation =
      std::find(kContinuationTags.begin(), kContinuationTags.end(), tag) != kContinuationTags.end();
  if (continuation && last_tag_ == kContinuedTag) {
    continue_m2(line, line_number);
  } else if (records::RecordTable* table = records_.find(tag)) {
    file_line(*table, line, line_number);
  }
  // Any other line files nothing and leaves last_tag as it was.
}

void PnrLoader::file_line(records::RecordTable& table, std::string_view line,
                          std::size_t line_number) {
  if (!table.file_line(line, cuts_)) {
    print_about_line(line_number, "more than " + std::to_string(table.type().row_capacity) + " " +
                                      std::string(table.type().tag) +
                                      " lines in one file, line dropped");
    last_tag_ = {};
    return;
  }
  last_tag_ = table.type().tag;
}

void PnrLoader::continue_m2(std::string_view line, std::size_t line_number) {
  // last_tag carries over from the previous file, which may have ended with
  // an M2 line; this file has no row to continue then.
  if (m2_.record_count() == 0) {
    print_about_line(line_number, "continuation line without an M2 line before it, ignored");
  } else {
    m2_.set_slot(m2_.record_count() - 1, kContinuationSlot,
                 db::substr(line, kContinuationCut.start, kContinuationCut.length));
  }
  last_tag_ = kAfterContinuation;
}

records::LoadOutcome PnrLoader::load_file(driver::HistoryEntry history) {
  return load_.load_file(pnr_file_name_, verbose_flag_, history);
}

void PnrLoader::print_about_line(std::size_t line_number, const std::string& what) {
  console_.about_line(pnr_file_name_, line_number, what);
}

}  // namespace qx::tarvo
