#include "os/line_notices.h"

#include "os/shown_name.h"

namespace qx::os {
namespace {

constexpr std::array<std::string_view, kNoticeKinds> kNoticeNames = {
    "line cut",       "line dropped",         "NUL byte",     "field cut",
    "fields dropped", "continuation ignored", "short header",
};

}  // namespace

bool LineNotices::admit(std::string_view file, Notice kind) {
  file_ = file;
  return ++counts_[static_cast<std::size_t>(kind)] <= kNoticesShownPerKind;
}

std::string LineNotices::take_held_back() {
  std::string lines;
  for (std::size_t kind = 0; kind < kNoticeKinds; ++kind) {
    if (counts_[kind] <= kNoticesShownPerKind) continue;
    lines += "File " + shown_name(file_) + ": " +
             with_thousands(counts_[kind] - kNoticesShownPerKind) + " more '" +
             std::string(kNoticeNames[kind]) + "' notices not shown\n";
  }
  file_.clear();
  counts_.fill(0);
  return lines;
}

std::string with_thousands(std::size_t number) {
  std::string digits = std::to_string(number);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

}  // namespace qx::os
