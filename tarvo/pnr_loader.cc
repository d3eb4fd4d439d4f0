#include "tarvo/pnr_loader.h"

#include <algorithm>

#include "db/text_primitives.h"
#include "tarvo/pnr_records.h"

namespace qx::tarvo {

PnrLoader::PnrLoader(db::Session& session, bool verbose_flag, os::Console console)
    : FixedRecordLoader(session, pnr_format(), verbose_flag, console),
      m2_(*records().find(kContinuedTag)) {}

bool PnrLoader::take_line(std::string_view tag, std::string_view line, std::size_t line_number) {
  bool continuation =
      std::find(kContinuationTags.begin(), kContinuationTags.end(), tag) != kContinuationTags.end();
  if (!continuation || last_tag_ != kContinuedTag) return false;
  // last_tag carries over from the previous file, which may have ended with
  // an M2 line; this file has no row to continue then.
  if (m2_.record_count() == 0) {
    about_line(line_number, os::Notice::continuation_ignored,
               "continuation line without an M2 line before it, ignored");
  } else {
    m2_.set_slot(m2_.record_count() - 1, kContinuationSlot,
                 db::substr(line, kContinuationCut.start, kContinuationCut.length));
  }
  last_tag_ = kAfterContinuation;
  return true;
}

void PnrLoader::after_filing(const records::RecordTable* table) {
  last_tag_ = table != nullptr ? table->type().tag : std::string_view();
}

}  // namespace qx::tarvo
