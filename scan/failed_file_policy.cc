#include "scan/failed_file_policy.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "os/move_file.h"
#include "os/shown_name.h"
#include "scan/file_moves.h"
#include "scan/scanning_line.h"

namespace qx::scan {
namespace fs = std::filesystem;

FailedFilePolicy::FailedFilePolicy(os::Env& env, FailedSettings settings, os::Console console)
    : env_(env), settings_(std::move(settings)), console_(console) {
  if (enabled()) dir_ = absolute_in(env_, settings_.dir_as_typed);
}

bool FailedFilePolicy::too_large(const fs::path& input_dir, const os::DirectoryEntry& file,
                                 bool& moved, std::string& told) {
  moved = false;
  told.clear();
  if (within_size(file)) return false;
  if (told_too_large_.contains(key_of(file))) return true;
  told_too_large_[key_of(file)] = true;
  const std::string what = "it holds " + os::with_thousands(file.size) + " bytes, more than the " +
                           os::with_thousands(settings_.max_file_size) +
                           " of --max-file-size; it is not read";
  told = what;
  if (enabled()) {
    moved = give_up(input_dir, file, what);
    return true;
  }
  console_.print("File " + os::shown_name(file.name) + ": " + what + " and stays where it is\n",
                 os::Priority::warning);
  return true;
}

bool FailedFilePolicy::count_attempt(const fs::path& input_dir, const os::DirectoryEntry& file,
                                     const std::string& what) {
  if (!enabled()) return false;
  const int attempts = ++attempts_[key_of(file)];
  if (attempts < settings_.max_attempts) return false;
  return give_up(input_dir, file, what, attempts);
}

bool FailedFilePolicy::give_up(const fs::path& input_dir, const os::DirectoryEntry& file,
                               const std::string& what, int attempts) {
  if (!enabled()) return false;
  const fs::path reason_path = dir_ / (file.name + ".reason");
  const std::string shown = (fs::path(settings_.dir_as_typed) / os::shown_name(file.name)).string();
  os::IoResult done =
      store_file(env_, reason_text(file.name, what, local_time(env_.now()), attempts), reason_path);
  if (done.ok()) {
    // A link goes as the link it is; copying it would read what it names.
    done = file.type == os::EntryType::symbolic_link
               ? env_.rename_file(input_dir / file.name, dir_ / file.name)
               : move_file(env_, input_dir / file.name, dir_ / file.name);
    // Without its file a reason would only mislead; one that cannot be
    // removed is replaced by the next attempt's, and the move's failure is
    // the one to tell.
    if (!done.ok()) static_cast<void>(env_.remove_file(reason_path));
  }
  if (!done.ok()) {
    console_.print("File " + os::shown_name(file.name) + " cannot be loaded (" + what +
                       ") and could not be moved to " + shown + ": " + done.reason() +
                       "; it stays where it is\n",
                   os::Priority::err);
    return false;
  }
  attempts_.erase(key_of(file));
  console_.print("File " + os::shown_name(file.name) + " cannot be loaded (" + what +
                     "); moved to " + shown + ", the reason is in " + shown + ".reason\n",
                 os::Priority::warning);
  return true;
}

bool FailedFilePolicy::not_regular(const fs::path& input_dir, const os::DirectoryEntry& entry) {
  if (!told_not_regular_.emplace(entry.name, entry.type).second) return false;
  const std::string what = std::string("it is ") + describe(entry.type) + ", not a regular file";
  if (enabled() && entry.type == os::EntryType::symbolic_link) {
    return give_up(input_dir, entry, what + "; it is not followed");
  }
  console_.print("File " + os::shown_name(entry.name) + ": " + what +
                     "; it is not read and stays where it is\n",
                 os::Priority::warning);
  return false;
}

void FailedFilePolicy::forget_all_but(const std::vector<os::DirectoryEntry>& files,
                                      const std::vector<os::DirectoryEntry>& others) {
  std::erase_if(told_not_regular_, [&](const auto& told) {
    return std::none_of(others.begin(), others.end(), [&](const os::DirectoryEntry& entry) {
      return entry.name == told.first && entry.type == told.second;
    });
  });
  std::map<Key, int> attempts;
  std::map<Key, bool> told;
  for (const auto& file : files) {
    if (auto it = attempts_.find(key_of(file)); it != attempts_.end()) attempts.insert(*it);
    if (auto it = told_too_large_.find(key_of(file)); it != told_too_large_.end()) told.insert(*it);
  }
  attempts_.swap(attempts);
  told_too_large_.swap(told);
}

std::string FailedFilePolicy::reason_text(const std::string& name, const std::string& what,
                                          const std::tm& when, int attempts) {
  // Local time with its offset from UTC, so that a reason read on another
  // host, or after a change of summer time, still says when.
  char stamp[80];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S %z", &when);
  return "File: " + os::shown_name(name) + "\nFailed: " + what + "\nAt: " + stamp +
         "\nAttempts: " + std::to_string(attempts) + "\n";
}

std::optional<std::string> failed_directory_refusal(os::Env& env, const std::string& input_as_typed,
                                                    const std::string& failed_as_typed) {
  os::FileNode input, failed;
  if (!env.stat_file(input_as_typed, input).ok()) return std::nullopt;
  if (!env.stat_file(failed_as_typed, failed).ok()) return std::nullopt;
  if (input.device != failed.device || input.inode != failed.inode) return std::nullopt;
  return "The input directory " + input_as_typed + " and the failed directory " + failed_as_typed +
         " are the same directory; failed files would never leave it\n";
}

}  // namespace qx::scan
