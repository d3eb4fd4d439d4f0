#include "record_loader/fixed_record_loader.h"

#include "db/text_primitives.h"

namespace qx::record_loader {

FixedRecordLoader::FixedRecordLoader(db::Session& session, const records::RecordFormat& format,
                                     bool verbose_flag, os::Console console)
    : format_(format),
      console_(console),
      verbose_flag_(verbose_flag),
      records_(format.types),
      load_(session, records_, format.plan, console),
      batch_(load_) {}

void FixedRecordLoader::begin_file(std::string_view file_name) {
  file_name_ = file_name;
  records_.clear();
  known_records_ = 0;
}

void FixedRecordLoader::parse_line(std::string_view line, std::size_t line_number) {
  if (line.size() > records::kLineLimit) {
    about_line(
        line_number, os::Notice::line_cut,
        std::to_string(line.size()) + " characters, cut to " + std::to_string(records::kLineLimit));
    line = line.substr(0, records::kLineLimit);
  }
  std::string_view tag = db::substr(line, 1, static_cast<std::int64_t>(format_.tag_length));
  if (take_line(tag, line, line_number)) {
    ++known_records_;
    return;
  }
  records::RecordTable* table = records_.find(tag);
  if (table == nullptr) return;
  ++known_records_;
  const records::RecordType& type = table->type();
  if (!table->file_line(line, cuts_, line_number)) {
    about_line(line_number, os::Notice::line_dropped,
               "more than " + std::to_string(type.row_capacity) + " " + std::string(type.tag) +
                   " lines in one file, line dropped");
    after_filing(nullptr);
    return;
  }
  for (const records::SlotCut& cut : cuts_) {
    about_line(line_number, os::Notice::field_cut,
               std::string(type.column_prefix) + std::to_string(cut.slot) + " of " +
                   std::to_string(cut.length) + " characters, cut to " + std::to_string(cut.kept));
  }
  after_filing(table);
}

LoadOutcome FixedRecordLoader::load_file(history::HistoryEntry history) {
  return load_.load_file(file_name_, verbose_flag_, history);
}

bool FixedRecordLoader::write_file(history::HistoryEntry history, FileAccount& account,
                                   std::int64_t key) {
  return batch_.write_file(file_name_, verbose_flag_, history, account, key);
}

void FixedRecordLoader::about_line(std::size_t line_number, os::Notice kind,
                                   const std::string& what) const {
  console_.about_line(file_name_, line_number, kind, what);
}

}  // namespace qx::record_loader
