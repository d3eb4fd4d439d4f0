#include "db/target.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace qx::db {
namespace {

constexpr std::string_view kSqlitePrefix = "sqlite:";
constexpr std::string_view kNoPassword = "-";
constexpr std::array<std::string_view, 2> kUriPrefixes = {"postgresql://", "postgres://"};
// Matched without regard to case: the loaders come from a platform whose file
// names ignore it.
constexpr std::array<std::string_view, 3> kSqliteSuffixes = {".db", ".sqlite", ".sqlite3"};

bool ends_with_ignoring_case(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
  });
}

bool is_uri(std::string_view service) {
  return std::any_of(kUriPrefixes.begin(), kUriPrefixes.end(),
                     [&](std::string_view prefix) { return service.starts_with(prefix); });
}

bool is_sqlite_path(std::string_view service) {
  return std::any_of(kSqliteSuffixes.begin(), kSqliteSuffixes.end(), [&](std::string_view suffix) {
    return ends_with_ignoring_case(service, suffix);
  });
}

// A URI may carry a password of its own, as "user:password@" before the host
// or as a "password=" parameter; neither is shown.
std::string uri_without_password(std::string_view uri) {
  const auto query_at = uri.find('?');
  std::string out(uri.substr(0, query_at));
  const auto authority = out.find("://") + 3;
  const auto authority_end = std::min(out.find('/', authority), out.size());
  const auto at = out.rfind('@', authority_end);
  if (at != std::string::npos && at >= authority) {
    const auto colon = out.find(':', authority);
    if (colon < at) out.erase(colon, at - colon);
  }
  if (query_at == std::string_view::npos) return out;
  std::string kept;
  auto rest = uri.substr(query_at + 1);
  while (!rest.empty()) {
    const auto amp = rest.find('&');
    const auto parameter = rest.substr(0, amp);
    rest = amp == std::string_view::npos ? std::string_view{} : rest.substr(amp + 1);
    if (parameter.substr(0, parameter.find('=')) == "password") continue;
    kept += kept.empty() ? "" : "&";
    kept += parameter;
  }
  if (!kept.empty()) out += "?" + kept;
  return out;
}

}  // namespace

Target parse_target(std::string_view user_text, std::string_view password) {
  Target target;
  if (password != kNoPassword) target.password = password;
  const auto at = user_text.find('@');
  if (at == std::string_view::npos) {
    target.user = user_text;
    return target;
  }
  target.user = user_text.substr(0, at);
  const auto service = user_text.substr(at + 1);
  if (service.starts_with(kSqlitePrefix)) {
    target.kind = Target::Kind::sqlite;
    target.location = service.substr(kSqlitePrefix.size());
  } else if (is_uri(service)) {
    target.kind = Target::Kind::postgres_uri;
    target.location = service;
  } else if (is_sqlite_path(service)) {
    target.kind = Target::Kind::sqlite;
    target.location = service;
  } else if (!service.empty()) {
    target.kind = Target::Kind::postgres_service;
    target.location = service;
  }
  return target;
}

std::string Target::display() const {
  switch (kind) {
    case Kind::sqlite:
      return std::string(kSqlitePrefix) + location;
    case Kind::postgres_uri:
      return user + "@" + uri_without_password(location);
    case Kind::postgres_service:
      return user + "@" + location;
    case Kind::postgres_default:
      return user;
  }
  return user;
}

}  // namespace qx::db
