// The line each scan opens with, in the loaders' own format:
// "Scanning Directory <input dir as typed> YYYY-MM-DD HH:MM:SS for <pattern> Files\n".
#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

namespace qx::scan {

std::string format_scanning_line(std::string_view input_dir_as_typed, const std::tm& local,
                                 std::string_view pattern);

// The local broken-down time of `when`.
std::tm local_time(std::chrono::system_clock::time_point when);

}  // namespace qx::scan
