#include "os/directory_scan.h"

#include <algorithm>
#include <cctype>

#include "os/loaded_move.h"

namespace qx::os {
namespace {

char fold(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

bool folded_less(const std::string& a, const std::string& b) {
  auto folded =
      std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
      });
  if (folded) return true;
  auto reverse =
      std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), [](char x, char y) {
        return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
      });
  // Names that differ only in case still need one fixed order.
  return !reverse && a < b;
}

}  // namespace

bool matches_extension(std::string_view name, std::string_view extension) {
  if (name.size() < extension.size()) return false;
  auto tail = name.substr(name.size() - extension.size());
  return std::equal(tail.begin(), tail.end(), extension.begin(), extension.end(),
                    [](char x, char y) { return fold(x) == fold(y); });
}

IoResult list_input_files(Env& env, const std::filesystem::path& dir, std::string_view extension,
                          std::vector<DirectoryEntry>& files, std::vector<DirectoryEntry>* others,
                          std::vector<std::string>* held) {
  std::vector<DirectoryEntry> entries;
  files.clear();
  if (others != nullptr) others->clear();
  if (held != nullptr) held->clear();
  IoResult result = env.list_directory(dir, entries);
  if (!result.ok()) return result;
  for (auto& entry : entries) {
    if (held != nullptr && entry.name.front() == '.') {
      std::string original = held_original(entry.name);
      if (!original.empty() && matches_extension(original, extension)) {
        held->push_back(std::move(original));
      }
    }
    if (!matches_extension(entry.name, extension)) continue;
    if (entry.type == EntryType::regular) {
      files.push_back(std::move(entry));
    } else if (others != nullptr) {
      others->push_back(std::move(entry));
    }
  }
  std::sort(files.begin(), files.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    return folded_less(a.name, b.name);
  });
  return result;
}

}  // namespace qx::os
