#include "support/memory_env.h"

#include <cassert>
#include <vector>

namespace qx::testing {
namespace fs = std::filesystem;
using os::EntryType;
using os::IoResult;

namespace {

// As deep as the kernel follows links before it gives up.
constexpr int kMaxLinks = 40;
// All of it is one file system.
constexpr std::uint64_t kDevice = 1;

IoResult fail(std::errc code) {
  return IoResult::failure(std::make_error_code(code));
}

IoResult fail(std::error_code error) {
  return IoResult::failure(error);
}

}  // namespace

// The claim lasts as long as this object, even past the file's removal.
class MemoryEnv::Lock : public os::FileLock {
 public:
  explicit Lock(std::shared_ptr<Node> held) : held_(std::move(held)) { held_->locked = true; }
  ~Lock() override { held_->locked = false; }

 private:
  std::shared_ptr<Node> held_;
};

MemoryEnv::MemoryEnv() : root_(make_node(EntryType::directory)) {}

std::shared_ptr<MemoryEnv::Node> MemoryEnv::make_node(EntryType type) {
  auto node = std::make_shared<Node>();
  node->type = type;
  node->inode = next_inode_++;
  node->modified = clock;
  return node;
}

// Walks the path name by name from the root (a relative one from the
// current directory): ".." goes back up the directories walked, a symbolic
// link on the way is followed, and so is the last one when `follow_last`
// (or the path ends in "/").
std::error_code MemoryEnv::find(const fs::path& path, bool follow_last, Place& place, int depth) {
  if (depth > kMaxLinks) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
  if (path.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);
  const fs::path full = path.is_absolute() ? path : current_dir / path;
  std::vector<std::string> names;
  for (const auto& part : full.relative_path()) names.push_back(part.string());
  if (!names.empty() && names.back().empty()) follow_last = true;
  std::erase(names, std::string());

  std::vector<std::shared_ptr<Node>> walked{root_};
  fs::path walked_path = "/";
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const bool last = i + 1 == names.size();
    if (name == "." || name == "..") {
      if (name == ".." && walked.size() > 1) {
        walked.pop_back();
        walked_path = walked_path.parent_path();
      }
      if (last) break;
      continue;
    }
    const auto it = walked.back()->children.find(name);
    const std::shared_ptr<Node> child = it == walked.back()->children.end() ? nullptr : it->second;
    if (child == nullptr) {
      if (!last) return std::make_error_code(std::errc::no_such_file_or_directory);
      place = {walked.back(), name, nullptr};
      return {};
    }
    if (child->type == EntryType::symbolic_link && (!last || follow_last)) {
      fs::path next = child->target.is_absolute() ? child->target : walked_path / child->target;
      for (std::size_t j = i + 1; j < names.size(); ++j) next /= names[j];
      return find(next, follow_last, place, depth + 1);
    }
    if (last) {
      place = {walked.back(), name, child};
      return {};
    }
    if (child->type != EntryType::directory) {
      return std::make_error_code(std::errc::not_a_directory);
    }
    walked.push_back(child);
    walked_path /= name;
  }
  // The path ends in a directory reached by "." or ".." (or is the root):
  // it has no name of its own to rename or remove.
  place = {walked.size() > 1 ? walked[walked.size() - 2] : nullptr, std::string(), walked.back()};
  return {};
}

os::FileNode MemoryEnv::identity_of(const Node& node) const {
  os::FileNode identity;
  identity.device = kDevice;
  identity.inode = node.inode;
  identity.size = node.type == EntryType::regular         ? node.contents.size()
                  : node.type == EntryType::symbolic_link ? node.target.native().size()
                                                          : 0;
  identity.modified = node.modified;
  return identity;
}

void MemoryEnv::add(const fs::path& path, std::shared_ptr<Node> node) {
  [[maybe_unused]] const bool made = make_directory(path.parent_path()).ok();
  assert(made);
  Place place;
  [[maybe_unused]] const std::error_code error = find(path, false, place);
  assert(!error && !place.name.empty());
  place.parent->children[place.name] = std::move(node);
}

void MemoryEnv::add_file(const fs::path& path, std::string_view contents) {
  [[maybe_unused]] const bool made = make_directory(path.parent_path()).ok();
  [[maybe_unused]] const bool written = write_file(path, contents).ok();
  assert(made && written);
}

void MemoryEnv::add_directory(const fs::path& path) {
  [[maybe_unused]] const bool made = make_directory(path).ok();
  assert(made);
}

void MemoryEnv::add_symlink(const fs::path& path, const fs::path& target) {
  auto link = make_node(EntryType::symbolic_link);
  link->target = target;
  add(path, std::move(link));
}

void MemoryEnv::add_entry(const fs::path& path, EntryType type) {
  add(path, make_node(type));
}

void MemoryEnv::set_modified(const fs::path& path, std::chrono::system_clock::time_point when) {
  Place place;
  if (!find(path, true, place) && place.node != nullptr) place.node->modified = when;
}

bool MemoryEnv::exists(const fs::path& path) {
  Place place;
  return !find(path, false, place) && place.node != nullptr;
}

std::optional<std::string> MemoryEnv::contents(const fs::path& path) {
  Place place;
  if (find(path, true, place) || place.node == nullptr || place.node->type != EntryType::regular) {
    return std::nullopt;
  }
  return place.node->contents;
}

IoResult MemoryEnv::list_directory(const fs::path& dir, std::vector<os::DirectoryEntry>& entries) {
  entries.clear();
  Place place;
  if (std::error_code error = find(dir, true, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (place.node->type != EntryType::directory) return fail(std::errc::not_a_directory);
  for (const auto& [name, node] : place.node->children) {
    os::DirectoryEntry entry;
    entry.name = name;
    entry.type = node->type;
    if (node->type == EntryType::regular) {
      entry.size = node->contents.size();
      entry.modified = node->modified;
    }
    entries.push_back(std::move(entry));
  }
  return IoResult::success();
}

IoResult MemoryEnv::read_file(const fs::path& path, std::string& contents, os::FileNode& identity) {
  contents.clear();
  Place place;
  if (std::error_code error = find(path, false, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (place.node->type != EntryType::regular) return os::not_a_regular_file_failure();
  contents = place.node->contents;
  identity = identity_of(*place.node);
  return IoResult::success();
}

IoResult MemoryEnv::stat_file(const fs::path& path, os::FileNode& identity) {
  Place place;
  if (std::error_code error = find(path, true, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  identity = identity_of(*place.node);
  return IoResult::success();
}

IoResult MemoryEnv::stat_entry(const fs::path& path, os::FileNode& identity) {
  Place place;
  if (std::error_code error = find(path, false, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  identity = identity_of(*place.node);
  return IoResult::success();
}

IoResult MemoryEnv::lock_file(const fs::path& path, std::unique_ptr<os::FileLock>& lock) {
  Place place;
  if (std::error_code error = find(path, false, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (place.node->type != EntryType::regular) return os::not_a_regular_file_failure();
  if (place.node->locked) return fail(std::errc::operation_would_block);
  auto held = std::make_unique<Lock>(place.node);
  held->node = identity_of(*place.node);
  lock = std::move(held);
  return IoResult::success();
}

IoResult MemoryEnv::write_file(const fs::path& path, std::string_view contents) {
  Place place;
  if (std::error_code error = find(path, true, place)) return fail(error);
  if (place.name.empty()) return fail(std::errc::is_a_directory);
  if (place.node == nullptr) {
    place.node = make_node(EntryType::regular);
    place.parent->children[place.name] = place.node;
  }
  if (place.node->type == EntryType::directory) return fail(std::errc::is_a_directory);
  if (place.node->type != EntryType::regular) return os::not_a_regular_file_failure();
  place.node->contents = contents;
  place.node->modified = clock;
  return IoResult::success();
}

IoResult MemoryEnv::rename(const fs::path& from, const fs::path& to, bool replace) {
  Place source, target;
  if (std::error_code error = find(from, false, source)) return fail(error);
  if (source.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (std::error_code error = find(to, false, target)) return fail(error);
  if (source.name.empty() || target.name.empty()) return fail(std::errc::device_or_resource_busy);
  if (target.node != nullptr) {
    if (!replace) return fail(std::errc::file_exists);
    // Two names of one file: nothing to do.
    if (target.node == source.node) return IoResult::success();
    const bool from_directory = source.node->type == EntryType::directory;
    const bool to_directory = target.node->type == EntryType::directory;
    if (from_directory && !to_directory) return fail(std::errc::not_a_directory);
    if (!from_directory && to_directory) return fail(std::errc::is_a_directory);
    if (to_directory && !target.node->children.empty()) {
      return fail(std::errc::directory_not_empty);
    }
  }
  source.parent->children.erase(source.name);
  target.parent->children[target.name] = source.node;
  return IoResult::success();
}

IoResult MemoryEnv::rename_file(const fs::path& from, const fs::path& to) {
  return rename(from, to, true);
}

IoResult MemoryEnv::rename_no_replace(const fs::path& from, const fs::path& to) {
  return rename(from, to, false);
}

IoResult MemoryEnv::copy_file(const fs::path& from, const fs::path& to) {
  Place source, target;
  if (std::error_code error = find(from, true, source)) return fail(error);
  if (source.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (source.node->type != EntryType::regular) return fail(std::errc::invalid_argument);
  if (std::error_code error = find(to, true, target)) return fail(error);
  if (target.node == source.node) return fail(std::errc::file_exists);
  if (target.node != nullptr && target.node->type != EntryType::regular) {
    return fail(std::errc::invalid_argument);
  }
  // The copy is written now: it carries this moment's time, not the source's.
  return write_file(to, std::string(source.node->contents));
}

IoResult MemoryEnv::sync_file(const fs::path& path) {
  Place place;
  if (std::error_code error = find(path, true, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  return IoResult::success();
}

IoResult MemoryEnv::remove_file(const fs::path& path) {
  Place place;
  if (std::error_code error = find(path, false, place)) return fail(error);
  if (place.node == nullptr) return fail(std::errc::no_such_file_or_directory);
  if (place.name.empty()) return fail(std::errc::device_or_resource_busy);
  if (place.node->type == EntryType::directory && !place.node->children.empty()) {
    return fail(std::errc::directory_not_empty);
  }
  place.parent->children.erase(place.name);
  return IoResult::success();
}

IoResult MemoryEnv::make_directory(const fs::path& path) {
  const fs::path full = path.is_absolute() ? path : current_dir / path;
  fs::path walked;
  for (const auto& part : full) {
    walked /= part;
    if (part.empty() || part == full.root_path()) continue;
    Place place;
    if (std::error_code error = find(walked, true, place)) {
      return IoResult::failure(error, "cannot create the directory");
    }
    if (place.node == nullptr) {
      place.parent->children[place.name] = make_node(EntryType::directory);
    } else if (place.node->type != EntryType::directory) {
      return IoResult::failure(std::make_error_code(std::errc::not_a_directory),
                               "cannot create the directory");
    }
  }
  return IoResult::success();
}

void MemoryEnv::sleep_for(std::chrono::milliseconds duration) {
  clock += duration;
  steady += duration;
}

}  // namespace qx::testing
