#include "db/report_sql_error.h"

#include <cstdarg>
#include <cstdio>

namespace qx::db {
namespace {

// printf into a string, so that the printers' formats stay exactly the
// printf formats the loaders have always used.
__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list measure;
  va_copy(measure, args);
  const int size = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  std::string out(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
  if (size > 0) std::vsnprintf(out.data(), out.size() + 1, format, args);
  va_end(args);
  return out;
}

}  // namespace

std::string format_sql_error_by_code(const Status& status) {
  if (status.ok() || status.code == kNullFetched || status.code == kInvalidNumber) return {};
  return formatted("%d %80s\n", status.code, status.message.c_str());
}

std::string format_sql_error_by_text(const Status& status) {
  if (status.ok() || status.message.find("01405") != std::string::npos) return {};
  return formatted("\n%s\n", status.message.c_str());
}

}  // namespace qx::db
