// Work ahead: while a batch commits on a database server, the files read
// for the next batch are cut and converted into the rows that batch will
// send, each under a key drawn earlier, with its console lines kept. The
// next batch then only adds them (load_together); a file it cannot take
// so (one that turns out loaded earlier, a batch that falls back to one
// file per transaction) is handled as ever, and its key stays unused.
#include <exception>

#include "record_loader/record_file_handler.h"

namespace qx::record_loader {

void RecordFileHandler::prepare_ahead(std::span<scan::FileJob* const> jobs) {
  // Between a batch's rows and its commit's answer the loader holds no
  // file; a file's own commit still holds its rows.
  if (!committing_batch_) return;
  for (scan::FileJob* job : jobs) {
    if (spare_keys_.empty()) return;
    std::unique_ptr<PreparedFile> prepared = prepare(*job, spare_keys_.front());
    // That file and those after it are cut in their turn, in order.
    if (!prepared) return;
    spare_keys_.pop_front();
    job->set_prepared(std::move(prepared));
  }
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
