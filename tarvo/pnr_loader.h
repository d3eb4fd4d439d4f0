// Loading the records of one PNR file (record_loader/fixed_record_loader.h), with
// the PNR's own rule for continuation lines: a line tagged CA, PO, LP, IN,
// NO or CH right after an M2 line puts its first 200 characters into slot
// 51 of that M2 row, instead of being filed by its tag.
//
// State that lives for the whole process: `last_tag`, the type of the last
// filed line, which tells whether a continuation line follows an M2 line;
// it carries over from one file to the next. A line of a type whose table
// is full clears it, so no continuation line attaches to an earlier M2 row;
// a continuation line with no M2 row in the current file is ignored and
// named.
#pragma once

#include <cstddef>
#include <string_view>

#include "db/session.h"
#include "os/console.h"
#include "record_loader/fixed_record_loader.h"
#include "records/record_table.h"

namespace qx::tarvo {

class PnrLoader : public record_loader::FixedRecordLoader {
 public:
  PnrLoader(db::Session& session, bool verbose_flag, os::Console console);

  std::string_view last_tag() const { return last_tag_; }

 private:
  bool take_line(std::string_view tag, std::string_view line, std::size_t line_number) override;
  void after_filing(const records::RecordTable* table) override;

  records::RecordTable& m2_;
  std::string_view last_tag_;
};

}  // namespace qx::tarvo
