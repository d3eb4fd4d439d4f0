#include "scan/scan_observer.h"

namespace qx::scan {

std::string_view failure_kind_name(FailureKind kind) {
  switch (kind) {
    case FailureKind::database:
      return "database";
    case FailureKind::input_directory:
      return "input_directory";
    case FailureKind::backup_move:
      return "backup_move";
    case FailureKind::database_refusal:
      return "database_refusal";
    case FailureKind::file:
      break;
  }
  return "file";
}

}  // namespace qx::scan
