#include "records/record_program.h"

#include <chrono>

#include "db/report_sql_error.h"

namespace qx::records {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{10000};

}  // namespace

bool verbose_flag(const std::vector<std::string>& positional) {
  return positional.size() == 5 && (positional[4] == "y" || positional[4] == "Y");
}

driver::ProgramSpec record_program_spec(
    driver::ProgramTexts texts, std::string pattern,
    std::unique_ptr<driver::FileHandler> (*make_files)(db::Session& session, bool verbose_flag,
                                                       driver::Console console)) {
  driver::ProgramSpec spec;
  spec.texts = std::move(texts);
  spec.pattern = std::move(pattern);
  spec.pause = kPauseBetweenScans;
  spec.format_sql_error = &db::format_sql_error_by_code;
  spec.make_handler = [make_files](db::Session& session, const driver::CommandLine& line,
                                   driver::Console console) {
    return make_files(session, verbose_flag(line.positional), console);
  };
  return spec;
}

}  // namespace qx::records
