// Hostile input for each loader: sample files of its format cut short,
// overwritten, spliced and stretched by a seeded mutation loop, and the
// inputs that once ended a loader (corpus/), taken through the loader's
// file handling on the scan loop, alone and in batches, with a failed
// directory and without. Every file is loaded (it is in the backup
// directory) or set aside (in the failed directory), and none needs a
// guard against an unexpected failure: no content, of any length, makes
// the file handling throw or read outside a file's bytes.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/backend_database.h"
#include "file_handling_run.h"
#include "generator/sample_format.h"
#include "generator/sample_random.h"
#include "support/temp_dir.h"

namespace qx::testing {
namespace {

namespace fs = std::filesystem;

struct Format {
  const Handling* handling;
  const char* generator_name;
  const char* extension;
};

void PrintTo(const Format& format, std::ostream* out) {
  *out << format.generator_name;
}

const Format kFormats[] = {
    {&kTarvoHandling, "pnr", "PNR"},
    {&kMeridonHandling, "mir", "MIR"},
    {&kCorvaneHandling, "air", "air"},
};

constexpr int kRounds = 6;
constexpr int kFilesPerRound = 12;

// Bytes the readers give a meaning to: record and line ends, the end of
// text, NUL, the AIR field separator, and one the code page leaves undefined.
constexpr std::string_view kMeaningfulBytes("\r\n\x1a\0;\x81", 6);

// One to four edits of `text`, each chosen by `random`.
std::string mutate(std::string text, generator::SampleRandom& random) {
  for (int edits = random.between(1, 4); edits > 0; --edits) {
    const std::size_t at = random.below(text.size() + 1);
    switch (random.below(5)) {
      case 0:  // cut short, as a transfer that broke off
        text.resize(at);
        break;
      case 1:
        if (!text.empty()) text[random.below(text.size())] = static_cast<char>(random.below(256));
        break;
      case 2:
        text.insert(at, 1, kMeaningfulBytes[random.below(kMeaningfulBytes.size())]);
        break;
      case 3:
        text.erase(at, random.below(400));
        break;
      default: {  // a stretch repeated, which makes lines longer than any limit
        const std::string stretch = text.substr(at, random.below(3000));
        for (int times = random.between(1, 4); times > 0; --times) text.insert(at, stretch);
      }
    }
  }
  return text;
}

// The corpus files of the format, by name.
Files corpus(const Format& format) {
  Files files;
  for (const auto& entry : fs::directory_iterator(QX_HOSTILE_CORPUS_DIR)) {
    if (entry.path().extension() == std::string(".") + format.extension) {
      files.emplace_back(entry.path().filename().string(), read_file(entry.path()));
    }
  }
  return files;
}

class HostileInput : public ::testing::TestWithParam<Format> {};

TEST_P(HostileInput, EveryFileIsLoadedOrSetAsideAndNoneEndsTheLoader) {
  const Format& format = GetParam();
  const generator::SampleFormat* sample = generator::find_sample_format(format.generator_name);
  ASSERT_NE(sample, nullptr);
  BackendDatabase database(Backend::sqlite);
  generator::SampleRandom random(20261209);
  for (int round = 0; round < kRounds; ++round) {
    const bool with_failed_dir = round % 2 == 0;
    const scan::BatchLimits batch = {.files = round % 3 == 0 ? 1 : 4};
    SCOPED_TRACE(::testing::Message() << "round " << round << ", batches of " << batch.files
                                      << (with_failed_dir ? ", failed directory" : ""));
    Files files = round < 2 ? corpus(format) : Files{};
    for (int i = 0; i < kFilesPerRound; ++i) {
      const generator::FileOptions options = {
          .records = random.between(1, 40), .bookings = 1, .crlf = random.percent(20)};
      files.emplace_back("F" + std::to_string(round * kFilesPerRound + i) + "." + format.extension,
                         mutate(sample->generate(options, random.next()), random));
    }
    TempDir failed_dir;
    scan::FailedSettings failed;
    if (with_failed_dir) failed.dir_as_typed = failed_dir.path().string();
    FileHandlingRun run(*format.handling, database.target_text(), files, batch, failed);
    run.loop->scan();
    const std::string printed = run.out.text();
    EXPECT_EQ(printed.find("failed unexpectedly"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("cannot be taken apart"), std::string::npos) << printed;
    for (const auto& [name, text] : files) {
      EXPECT_TRUE(fs::exists(run.backup / name) || fs::exists(failed_dir.path() / name))
          << name << " (" << text.size() << " bytes) is neither loaded nor set aside:\n"
          << printed;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, HostileInput, ::testing::ValuesIn(kFormats),
                         [](const auto& info) { return std::string(info.param.generator_name); });

}  // namespace
}  // namespace qx::testing
