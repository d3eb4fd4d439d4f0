// Work ahead: while a batch's rows and commit are on their way to a
// database server, the files read for the next batch are cut and
// converted, one by one, into the rows that batch will send, each under a
// key drawn earlier, with its console lines kept. The next batch then only
// adds them (load_together); a file it cannot take so (one that turns out
// loaded earlier, a batch that falls back to one file per transaction) is
// handled as ever, and its key stays unused.
#include "record_loader/record_file_handler.h"

namespace qx::record_loader {

bool RecordFileHandler::prepare_ahead(scan::FileJob& job) {
  // Between a batch's rows and its commit's answer the loader holds no
  // file; a file's own commit still holds its rows.
  if (!committing_batch_ || spare_keys_.empty()) return false;
  std::unique_ptr<PreparedFile> prepared = prepare(job, spare_keys_.front());
  if (!prepared) return false;
  spare_keys_.pop_front();
  job.set_prepared(std::move(prepared));
  return true;
}

std::unique_ptr<RecordFileHandler::PreparedFile> RecordFileHandler::prepare(scan::FileJob& job,
                                                                            std::int64_t key) {
  auto prepared = std::make_unique<PreparedFile>();
  struct Capture {
    const os::Console& console;
    ~Capture() { console.capture(nullptr); }
  } capture{console_};
  console_.capture(&prepared->lines);
  std::optional<std::string> unparsed;
  if (file_for_batch(job, prepared->records, unparsed) != Filed::loadable) {
    loader_->begin_file(job.name());  // drops what was filed
    return nullptr;
  }
  loader_->prepare_file(key, prepared->account, prepared->rows);
  return prepared;
}

}  // namespace qx::record_loader
