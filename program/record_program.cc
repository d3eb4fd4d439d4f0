#include "program/record_program.h"

#include <chrono>

#include "db/report_sql_error.h"

namespace qx::program {
namespace {

constexpr std::chrono::milliseconds kPauseBetweenScans{10000};

}  // namespace

bool verbose_flag(const std::vector<std::string>& positional) {
  return positional.size() == 5 && (positional[4] == "y" || positional[4] == "Y");
}

program::ProgramSpec record_program_spec(
    program::ProgramTexts texts, std::string pattern,
    std::unique_ptr<scan::FileHandler> (*make_handler_of)(db::Session& session, bool verbose_flag,
                                                          os::Console console)) {
  program::ProgramSpec spec;
  spec.texts = std::move(texts);
  spec.pattern = std::move(pattern);
  spec.pause = kPauseBetweenScans;
  spec.format_sql_error = &db::format_sql_error_by_code;
  spec.make_handler = [make_handler_of](db::Session& session, const program::CommandLine& line,
                                        os::Console console) {
    return make_handler_of(session, verbose_flag(line.positional), console);
  };
  return spec;
}

}  // namespace qx::program
