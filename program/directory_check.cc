#include "program/directory_check.h"

#include <utility>

namespace qx::program {

std::optional<std::string> empty_directory_refusal(const std::string& input_as_typed,
                                                   const std::string& backup_as_typed) {
  for (const auto& [what, typed] :
       {std::pair{"input", &input_as_typed}, std::pair{"backup", &backup_as_typed}}) {
    if (typed->empty())
      return std::string("The ") + what + " directory is given as an empty name\n";
  }
  return std::nullopt;
}

std::optional<std::string> same_directory_refusal(os::Env& env, const std::string& input_as_typed,
                                                  const std::string& backup_as_typed) {
  os::FileNode input, backup;
  if (!env.stat_file(input_as_typed, input).ok()) return std::nullopt;
  if (!env.stat_file(backup_as_typed, backup).ok()) return std::nullopt;
  if (input.device != backup.device || input.inode != backup.inode) return std::nullopt;
  return "The input directory " + input_as_typed + " and the backup directory " + backup_as_typed +
         " are the same directory; loaded files would never leave it\n";
}

}  // namespace qx::program
