#include "db/status.h"

#include <cstdio>
#include <cstdlib>

namespace qx::db {
namespace {

// A cut inside a UTF-8 sequence would leave a broken character at the end of
// the message; back off to the start of that character instead.
std::size_t utf8_safe_cut(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

}  // namespace

Status Status::failure(int code, std::string_view text) {
  const ErrorNumber* entry = find_error_number(code);
  return failure(code, text, entry != nullptr ? entry->failure_class : FailureClass::systemic);
}

Status Status::failure(int code, std::string_view text, FailureClass failure_class,
                       std::string_view constraint_table) {
  char number[24];
  std::snprintf(number, sizeof number, "%05lld: ", std::llabs(static_cast<long long>(code)));
  std::string message(number);
  message.append(text);
  message.resize(utf8_safe_cut(message, kStatusMessageMax));
  Status status;
  status.code = code;
  status.message = std::move(message);
  status.failure_class_ = failure_class;
  status.constraint_table_ = constraint_table;
  return status;
}

Status Status::failure(int code) {
  const ErrorNumber* entry = find_error_number(code);
  return failure(code, entry != nullptr ? entry->text : std::string_view("unknown error"));
}

}  // namespace qx::db
