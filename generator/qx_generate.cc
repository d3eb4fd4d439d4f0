// qx_generate: writes a backlog of synthetic interface files for demos, tests
// and benchmarks, e.g.
//   qx_generate air --out /srv/in --count 100 --records 80 --seed 7
// and prints one line per file written.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "generator/backlog.h"
#include "generator/generate_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(qx::generator::generate_usage().c_str(), stdout);
    return 0;
  }
  qx::generator::GenerateCommand command;
  try {
    command = qx::generator::parse_generate_command(args);
  } catch (const std::invalid_argument& error) {
    std::fprintf(stderr, "qx_generate: %s\n%s", error.what(),
                 qx::generator::generate_usage().c_str());
    return 2;
  }
  try {
    std::filesystem::create_directories(command.out);
    std::size_t total = 0;
    const auto files = qx::generator::write_backlog(
        *command.format, command.backlog, command.out, [&](const qx::generator::WrittenFile& file) {
          std::printf("wrote %s (%zu bytes)\n", file.path.string().c_str(), file.bytes);
          total += file.bytes;
        });
    std::printf("%zu files, %zu bytes, seed %llu\n", files.size(), total,
                static_cast<unsigned long long>(command.backlog.seed));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "qx_generate: %s\n", error.what());
    return 1;
  }
  return 0;
}
