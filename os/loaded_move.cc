#include "os/loaded_move.h"

#include "os/move_file.h"

namespace qx::os {
namespace {

bool gone(const IoResult& result) {
  return result.error() == std::errc::no_such_file_or_directory;
}

IoResult failure(const IoResult& step, const char* what) {
  return IoResult::failure(step.error(), what);
}

// Makes sure the input name no longer holds the loaded file, once its bytes
// are in the backup directory: a second link to it, or the file itself
// after a copy, is removed; another file under the name is left to wait.
void clear_input_name(Env& env, const LoadedFile& file, LoadedMove& move) {
  FileNode left;
  IoResult looked = env.stat_entry(file.source, left);
  if (!looked.ok()) {
    if (!gone(looked)) move.result = failure(looked, "the input file cannot be looked at");
    return;
  }
  if (!(left == file.node)) {
    move.other_file_waits = true;
    return;
  }
  const std::filesystem::path held = held_path(file.source);
  IoResult taken = env.rename_no_replace(file.source, held);
  if (!taken.ok()) {
    if (!gone(taken)) {
      move.result = failure(taken, "copied, but the input file could not be removed");
    }
    return;
  }
  FileNode got;
  IoResult identified = env.stat_entry(held, got);
  if (identified.ok() && got == file.node) {
    IoResult removed = env.remove_file(held);
    if (removed.ok()) return;
    move.result = failure(removed, "copied, but the input file could not be removed");
  } else if (!identified.ok()) {
    move.result = failure(identified, "the input file cannot be looked at");
  } else {
    // Another file took the name between the look and the rename.
    move.other_file_waits = true;
  }
  // What is not removed goes back under its name: the loaded file for its
  // move to be retried, another file to be loaded.
  if (!env.rename_no_replace(held, file.source).ok()) move.held_aside = true;
}

// Writes the loaded bytes to the backup directory and clears the input name.
LoadedMove store_loaded(Env& env, const LoadedFile& file, bool from_memory) {
  LoadedMove move;
  move.stored_from_memory = from_memory;
  move.result = store_file(env, file.bytes, file.destination);
  if (move.result.ok()) clear_input_name(env, file, move);
  return move;
}

// Takes the file at the backup name back to the input name, or (when it is
// known to be another file) to the held name when that is taken; false when
// neither rename worked.
bool put_back(Env& env, const LoadedFile& file, bool known_other, bool& held) {
  held = false;
  if (env.rename_no_replace(file.destination, file.source).ok()) return true;
  if (!known_other) return false;
  held = env.rename_no_replace(file.destination, held_path(file.source)).ok();
  return held;
}

// The rename took another file, or one that cannot be identified, into the
// backup directory: it goes back to wait first (held aside when its name is
// taken again), and only then do the loaded bytes take its place, so that
// neither file is lost. One that cannot be identified may be the loaded
// file itself: it goes back when its name is free, its move retried by a
// later scan, and is otherwise looked at again by the next scan.
LoadedMove undo_wrong_move(Env& env, const LoadedFile& file, const IoResult& identified) {
  bool held = false;
  if (!put_back(env, file, identified.ok(), held)) {
    LoadedMove move;
    move.result = IoResult::failure(
        identified.ok() ? std::make_error_code(std::errc::io_error) : identified.error(),
        "another file took its name during the move and could not "
        "be put back from the backup directory yet");
    move.misplaced = true;
    return move;
  }
  if (!identified.ok()) {
    LoadedMove move;
    move.result = failure(identified, "the moved file cannot be looked at");
    move.held_aside = held;
    return move;
  }
  LoadedMove move = store_loaded(env, file, true);
  move.other_file_waits = true;
  move.held_aside = move.held_aside || held;
  return move;
}

}  // namespace

constexpr std::string_view kHeldSuffix = ".held";

std::filesystem::path held_path(const std::filesystem::path& source) {
  return hidden_path(source, kHeldSuffix);
}

std::string held_original(std::string_view held_name) {
  if (held_name.size() <= 1 + kHeldSuffix.size() || held_name.front() != '.' ||
      !held_name.ends_with(kHeldSuffix)) {
    return {};
  }
  std::string name(held_name.substr(1, held_name.size() - 1 - kHeldSuffix.size()));
  // A shortened held name does not spell its input name out.
  return held_path(name).filename() == held_name ? name : std::string();
}

bool put_back_held(Env& env, const std::filesystem::path& source) {
  IoResult back = env.rename_no_replace(held_path(source), source);
  return back.ok() || gone(back);
}

bool return_misplaced(Env& env, const LoadedFile& file, bool& held) {
  held = false;
  FileNode there;
  IoResult looked = env.stat_entry(file.destination, there);
  if (gone(looked) || (looked.ok() && there == file.node)) return true;
  return put_back(env, file, looked.ok(), held);
}

LoadedMove move_loaded_file(Env& env, const LoadedFile& file) {
  IoResult renamed = env.rename_file(file.source, file.destination);
  if (!renamed.ok()) {
    if (gone(renamed)) return store_loaded(env, file, true);
    if (renamed.error() == std::errc::cross_device_link) return store_loaded(env, file, false);
    return {failure(renamed, "rename failed")};
  }
  FileNode there;
  IoResult looked = env.stat_entry(file.destination, there);
  if (!looked.ok() || !(there == file.node)) return undo_wrong_move(env, file, looked);
  LoadedMove move;
  clear_input_name(env, file, move);
  return move;
}

}  // namespace qx::os
