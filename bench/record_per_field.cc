#include "record_per_field.h"

namespace qx::bench {

void RecordPerField::cut_line(std::string_view line) {
  queries_.read_tag(line, static_cast<int>(tag_length_));
  for (const auto& type : types_) {
    if (!line.starts_with(type.tag)) continue;
    for (const auto& slot : type.layout) {
      switch (slot.kind) {
        case records::Slot::Kind::constant:
          queries_.constant(slot.constant);
          break;
        case records::Slot::Kind::cut:
          queries_.cut(line, slot.start, slot.length);
          break;
        case records::Slot::Kind::rest_of_line:
          queries_.cut(line, slot.start, 0);
          break;
        case records::Slot::Kind::unfilled:
          break;
      }
    }
    queries_.constant(type.tag);
    return;
  }
}

}  // namespace qx::bench
