// Putting a file that was loaded into the backup directory so that what
// ends there is the file that was loaded, whatever happens to its input
// name meanwhile (a new file moved in, the file rewritten in place, a second
// link to it, a link put in its place).
//
// Within one file system the name is renamed into the backup directory and
// the result is checked after the fact: the destination must be the loaded
// file (device, inode, size and modification time as they were read). Any
// other file that went there is put back under its input name to wait, and
// the loaded bytes are written to the backup directory instead. Across file
// systems the loaded bytes are written to the backup directory (through a
// temporary, move_file.h) and the input name is removed only while it still
// holds the loaded file. Either way the input name is checked last: a second
// link to the loaded file is removed; any other file is left to wait.
//
// An input name is never removed by name on the strength of an earlier look:
// it is first renamed to a hidden name beside it (held_path), looked at
// there, and removed only when it is the loaded file; anything else goes
// back under its name. A file that cannot go back at once (another file took
// the name again) stays under the hidden name, and the caller puts it back
// when the name is free (put_back_held).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "os/env.h"

namespace qx::os {

struct LoadedFile {
  std::filesystem::path source;       // its name in the input directory
  std::filesystem::path destination;  // its name in the backup directory
  FileNode node;                      // the file loaded, as it was read
  std::string_view bytes;             // the bytes loaded
};

struct LoadedMove {
  // Success: the loaded bytes are in the backup directory and the input
  // name no longer holds the loaded file. A failure names the step.
  IoResult result = IoResult::success();
  // The loaded bytes were written from memory: the input name held another
  // file, or none, when the move came.
  bool stored_from_memory = false;
  // The input name holds another file now, which waits for a later scan.
  bool other_file_waits = false;
  // A file is held under held_path(source) for want of a free name.
  bool held_aside = false;
  // The backup name may still hold a file that is not the loaded one (it
  // could not be put back): return_misplaced is to be retried.
  bool misplaced = false;
};

// Moves the loaded file as described above.
LoadedMove move_loaded_file(Env& env, const LoadedFile& file);

// The hidden name beside an input name under which a file is held while it
// is looked at, or until its name is free again.
std::filesystem::path held_path(const std::filesystem::path& source);

// The input name a held name stands for, when the held name still spells
// it out (every name but those too long for it, held_path); empty for any
// other name. A scan after a restart finds files held by an earlier run
// this way.
std::string held_original(std::string_view held_name);

// Puts a file held under held_path(source) back under `source` when that
// name is free. True when nothing is held there any more.
bool put_back_held(Env& env, const std::filesystem::path& source);

// Puts whatever the backup name holds, unless it is the loaded file, back
// into the input directory (under held_path(source) when the name is
// taken). A file that cannot be identified goes back too when its name is
// free: the load history has only the loaded file moved again. Returns
// false when the backup name may still hold another file; `held` says
// whether one went to the held name.
bool return_misplaced(Env& env, const LoadedFile& file, bool& held);

}  // namespace qx::os
