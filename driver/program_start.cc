#include "driver/program_start.h"

#include "driver/banner.h"
#include "driver/console.h"
#include "driver/env.h"
#include "driver/stop_signal.h"

namespace qx::driver {

std::optional<int> answer_command_line(const CommandLine& line, const ProgramTexts& texts,
                                       std::FILE* out) {
  print_line(out, banner_text(texts.title));
  if (!line.error.empty()) {
    print_line(out, texts.name + ": " + line.error + "\n" + options_help(texts.usage));
    return 2;
  }
  if (line.help) {
    print_line(out, options_help(texts.usage));
    return 0;
  }
  if (line.version) {
    print_line(out, texts.version);
    return 0;
  }
  if (line.positional.size() < 4) {
    print_line(out, texts.usage);
    return texts.usage_exit_status;
  }
  return std::nullopt;
}

void run_until_stopped(Loader& loader, const CommandLine& line, const std::string& pattern,
                       std::chrono::milliseconds pause, std::FILE* out) {
  install_stop_handlers();
  RealEnv env;
  ScanLoop loop(env, loader,
                {line.positional[2], line.positional[3], pattern, pause, line.settle, line.once},
                out);
  loop.run();
}

}  // namespace qx::driver
