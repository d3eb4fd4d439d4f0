// The lines of the files handed over together, committed in groups. A
// group takes lines, across the ends of files, until a limit of
// BatchLimits is met or the files run out (a line that arrives alone is
// committed at once), writes each file's history account once, after the
// last of its lines in the group (a file begun and ended in the group in
// one insert), and commits. Its console lines are held
// until the commit is known and its files are moved after it, at their
// place among the lines, so that the output is that of one commit per line.
// A group that meets any failure is rolled back unseen, and its lines are
// done again one commit per line from its first line to the one that
// failed, which then ends as it would alone; the groups go on after it.
#include <algorithm>
#include <optional>

#include "corvane/corvane_file_handler.h"
#include "db/transaction.h"
#include "os/stop_signal.h"
#include "os/text_reading.h"

namespace qx::corvane {

std::size_t CorvaneFileHandler::handle_batch(std::span<scan::FileJob* const> jobs) {
  files_.assign(jobs.size(), {});
  for (std::size_t i = 0; i < jobs.size(); ++i) files_[i].job = jobs[i];
  std::size_t at = 0;
  bool stop_batch = false;
  while (at < files_.size() && !stop_batch) {
    const Checkpoint start = checkpoint(at);
    Reached reached;
    if (run_group(at, stop_batch, reached)) continue;
    back_to(start);
    at = start.file;
    // One commit per line, from the group's first line to the one that
    // failed; then groups again.
    while (at < files_.size()) {
      AirFile& file = files_[at];
      if (at > reached.file ||
          (at == reached.file && file.opened && file.next_line >= reached.line)) {
        break;
      }
      const std::optional<LoadResult> result =
          file.opened ? take_line_alone(file) : open_file(file);
      if (!result) continue;
      end_file(finish_file(file, *result));
      ++at;
      if (rest_waits(file)) {
        stop_batch = true;
        break;
      }
    }
  }
  files_.clear();
  loader_.drop_keys_drawn_ahead();
  return at;
}

bool CorvaneFileHandler::run_group(std::size_t& at, bool& stop_batch, Reached& reached) {
  Group group;
  console_.capture(&group.text);
  loader_.set_grouped(true);
  loader_.set_keys_ahead([&] { return keys_ahead(group, at); });
  std::optional<db::RowFailuresFail> row_failures_fail(std::in_place, session_);
  bool taken = take_group(group, at, stop_batch, reached);
  if (taken && group.unwritten != nullptr)
    taken = write_group_account(group, *group.unwritten, false);
  if (taken &&
      ((group.loaded_history != nullptr &&
        group.loaded_history->write_loaded_entries(group.loaded_files, group.loaded_accounts)
            .failed()) ||
       loader_.flush_rows().failed() || session_.commit().failed())) {
    taken = false;
    reached = {at, at < files_.size() ? files_[at].next_line : 0};
  }
  console_.capture(nullptr);
  loader_.set_grouped(false);
  loader_.set_keys_ahead(nullptr);
  row_failures_fail.reset();
  if (!taken) {
    (void)session_.rollback();  // fails only with nothing left to undo
    return false;
  }
  std::size_t printed = 0;
  for (const auto& [place, end] : group.ends) {
    console_.print(std::string_view(group.text).substr(printed, place - printed));
    printed = place;
    end_file(end);
  }
  console_.print(std::string_view(group.text).substr(printed));
  return true;
}

bool CorvaneFileHandler::take_group(Group& group, std::size_t& at, bool& stop_batch,
                                    Reached& reached) {
  while (at < files_.size()) {
    AirFile& file = files_[at];
    const history::HistoryEntry history = file.job->history_entry();
    if (!file.opened) {
      if (os::stop_requested()) {
        stop_batch = true;
        return true;
      }
      if (group.files >= limits_.files) return true;
      ++group.files;
      if (std::optional<LoadResult> result = open_file(file)) {
        end_in_group(group, file, *result);
        ++at;
        if (rest_waits(file)) stop_batch = true;
        if (stop_batch) return true;
        continue;
      }
    } else if (group.files == 0) {
      ++group.files;
    }
    if (file.next_line == file.lines.size()) {
      // A file without a line is loaded all the same, and said to be.
      if (history.history != nullptr && file.lines.empty() &&
          !write_group_account(group, file, true)) {
        reached = {at + 1, 0};
        return false;
      }
      end_in_group(group, file, LoadResult::loaded);
      ++at;
      continue;
    }
    if (group_full(group)) return true;
    if (os::stop_requested()) {
      // The group in hand is committed; the file then stops before its
      // next line, as it would between two lines.
      if (group.lines > 0) return true;
      end_in_group(group, file, LoadResult::stopped);
      ++at;
      stop_batch = true;
      return true;
    }
    reached = {at, file.next_line + 1};
    const std::string_view line = file.lines[file.next_line];
    if (loader_.process_line(line, file.next_line + 1) != LineOutcome::done) return false;
    group.unwritten = &file;
    ++group.lines;
    group.bytes += line.size() + 1;
    ++file.next_line;
    if (file.next_line == file.lines.size() && !write_group_account(group, file, true)) {
      return false;
    }
  }
  return true;
}

bool CorvaneFileHandler::group_full(const Group& group) const {
  // A group holds at least one line, so that every group gets somewhere.
  return group.lines > 0 &&
         (group.lines >= static_cast<std::size_t>(limits_.lines) || group.bytes >= limits_.bytes ||
          std::chrono::steady_clock::now() - group.began >= limits_.time);
}

std::size_t CorvaneFileHandler::keys_ahead(const Group& group, std::size_t at) const {
  // The lines the group can still take, from the one in hand on, counted
  // as take_group and group_full count them; the time limit is not known
  // ahead, and keys left over by it go to the next group.
  std::size_t lines = group.lines;
  std::uint64_t bytes = group.bytes;
  int files = group.files;
  std::size_t keys = 0;
  std::string contents;
  std::vector<std::string_view> peeked;
  for (std::size_t i = at; i < files_.size(); ++i) {
    const AirFile& file = files_[i];
    std::size_t first = file.next_line;
    if (!file.opened) {
      if (files >= limits_.files) break;
      ++files;
      // The file's lines as open_file will read them, from where it resumes.
      scan::FileJob& job = *file.job;
      if (!job.read(contents).ok()) continue;
      os::end_at_ctrl_z(contents);
      os::fold_crlf(contents);
      os::blank_nul_bytes(contents, '\n');
      peeked = os::split_at_line_feeds(contents);
      const std::int64_t done = job.history() != nullptr ? job.progress().lines_done : 0;
      first = std::min(static_cast<std::size_t>(std::max<std::int64_t>(done, 0)), peeked.size());
    }
    const std::vector<std::string_view>& lines_of = file.opened ? file.lines : peeked;
    for (std::size_t line = first; line < lines_of.size(); ++line) {
      if (lines > 0 &&
          (lines >= static_cast<std::size_t>(limits_.lines) || bytes >= limits_.bytes)) {
        return keys;
      }
      if (loader_.draws_key(lines_of[line])) ++keys;
      ++lines;
      bytes += lines_of[line].size() + 1;
    }
  }
  return keys;
}

void CorvaneFileHandler::end_in_group(Group& group, AirFile& file, LoadResult result) {
  FileEnd end = finish_file(file, result);
  group.ends.emplace_back(group.text.size(), std::move(end));
}

bool CorvaneFileHandler::write_group_account(Group& group, AirFile& file, bool last_line) {
  group.unwritten = nullptr;
  history::LoadProgress& account = loader_.account();
  account.lines_done = static_cast<std::int64_t>(file.next_line);
  account.state =
      last_line ? history::LoadProgress::State::loaded : history::LoadProgress::State::loading;
  const history::HistoryEntry history = file.job->history_entry();
  if (history.history == nullptr) return true;
  // The write reads its values when it is sent, after the loader has gone
  // on to later lines and files: it is given a copy of its own.
  group.accounts.push_back(account);
  const history::LoadProgress& written = group.accounts.back();
  if (!file.history_row_written) {
    file.history_row_written = true;
    // A file whose lines all fall in one group has its row written once,
    // as loaded: a second row for it fails the group like any write. Where
    // arrays bind, the group's such rows go in one insert before its commit.
    if (last_line && session_.binds_arrays()) {
      group.loaded_history = history.history;
      group.loaded_files.push_back(history.file);
      group.loaded_accounts.push_back(&written);
      return true;
    }
    if (last_line) return history.history->write_loaded_entry(*history.file, written).ok();
    if (history.history->open_entry(*history.file).failed()) return false;
  }
  return history.history->write_progress(*history.file, written).ok();
}

CorvaneFileHandler::Checkpoint CorvaneFileHandler::checkpoint(std::size_t at) {
  Checkpoint checkpoint{at, {}, loader_.snapshot(), console_.notices()};
  if (at < files_.size()) {
    const AirFile& file = files_[at];
    checkpoint.state.job = file.job;
    checkpoint.state.opened = file.opened;
    checkpoint.state.history_row_written = file.history_row_written;
    checkpoint.state.next_line = file.next_line;
  }
  return checkpoint;
}

void CorvaneFileHandler::back_to(const Checkpoint& checkpoint) {
  loader_.restore(checkpoint.loader);
  console_.restore_notices(checkpoint.notices);
  for (std::size_t i = checkpoint.file; i < files_.size() && files_[i].opened; ++i) {
    AirFile& file = files_[i];
    if (i == checkpoint.file && checkpoint.state.opened) {
      file.history_row_written = checkpoint.state.history_row_written;
      file.next_line = checkpoint.state.next_line;
      continue;
    }
    // Opened within the group: it is read and opened again.
    scan::FileJob* const job = file.job;
    file = AirFile();
    file.job = job;
  }
}

}  // namespace qx::corvane
