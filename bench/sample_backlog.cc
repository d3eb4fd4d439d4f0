#include "sample_backlog.h"

#include <stdexcept>

#include "generator/backlog.h"
#include "generator/sample_format.h"

namespace qx::bench {

std::vector<SampleFile> generate_files(const LoaderBench& loader, int count,
                                       const ThroughputOptions& options) {
  const generator::SampleFormat* format = generator::find_sample_format(loader.format);
  if (format == nullptr) throw std::runtime_error("no sample format " + loader.format);
  generator::FileOptions file_options;
  file_options.records = options.records;
  file_options.bookings = options.bookings;
  std::vector<SampleFile> files;
  for (int number = 1; number <= count; ++number) {
    files.push_back(
        {generator::sample_file_name(*format, number),
         format->generate(file_options, generator::sample_file_seed(options.seed, number))});
  }
  return files;
}

Directories fresh_directories(const qx::testing::TempDir& dir, const std::string& run) {
  Directories dirs{dir.path() / ("in" + run), dir.path() / ("backup" + run)};
  std::filesystem::create_directories(dirs.input);
  std::filesystem::create_directories(dirs.backup);
  return dirs;
}

void drop_files(const std::vector<SampleFile>& files, std::size_t count,
                const std::filesystem::path& dir, const std::string& prefix) {
  for (std::size_t i = 0; i < count && i < files.size(); ++i) {
    qx::testing::write_file(dir / (prefix + files[i].name), files[i].contents);
  }
}

void expect_all_loaded(const Directories& dirs, const std::string& what) {
  if (!std::filesystem::is_empty(dirs.input)) {
    throw std::runtime_error(what + " left files in the input directory");
  }
}

}  // namespace qx::bench
