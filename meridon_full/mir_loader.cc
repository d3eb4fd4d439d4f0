#include "meridon_full/mir_loader.h"

#include "db/text_primitives.h"
#include "driver/console.h"
#include "meridon_full/mir_records.h"

namespace qx::meridon_full {

MirLoader::MirLoader(db::Session& session, bool verbose_flag, driver::Console console)
    : console_(console),
      verbose_flag_(verbose_flag),
      records_(mir_record_types()),
      load_(session, records_, kMirLoadPlan, console) {}

void MirLoader::begin_file(std::string_view file_name) {
  mir_file_name_ = file_name;
  records_.clear();
}

void MirLoader::parse_line(std::string_view line, std::size_t line_number) {
  if (line.size() > kLineLimit) {
    print_about_line(line_number, std::to_string(line.size()) + " characters, cut to " +
                                      std::to_string(kLineLimit));
    line = line.substr(0, kLineLimit);
  }
  records::RecordTable* table = records_.find(db::substr(line, 1, kTagLength));
  if (table == nullptr) return;
  const records::RecordType& type = table->type();
  if (!table->file_line(line, cuts_)) {
    print_about_line(line_number, "more than " + std::to_string(type.row_capacity) + " " +
                                      std::string(type.tag) + " lines in one file, line dropped");
    return;
  }
  for (const records::SlotCut& cut : cuts_) {
    print_about_line(line_number, std::string(type.column_prefix) + std::to_string(cut.slot) +
                                      " of " + std::to_string(cut.length) + " characters, cut to " +
                                      std::to_string(cut.kept));
  }
}

records::LoadOutcome MirLoader::load_file(driver::HistoryEntry history) {
  return load_.load_file(mir_file_name_, verbose_flag_, history);
}

void MirLoader::print_about_line(std::size_t line_number, const std::string& what) {
  console_.about_line(mir_file_name_, line_number, what);
}

}  // namespace qx::meridon_full
