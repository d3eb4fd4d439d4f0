// Writing a backlog: names in loading order, bytes that follow from the seed
// and the file's number, and no half-written file under a name a loader
// would take, even when a write fails.
#include "generator/backlog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "generator/air_sample.h"
#include "support/temp_dir.h"

namespace qx::generator {
namespace {

namespace fs = std::filesystem;

const SampleFormat& air() {
  return *find_sample_format("air");
}

std::vector<std::string> names_in(const fs::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// What a loader's "*.air" takes: a name ending in ".air" in any case.
bool loader_would_take(std::string name) {
  for (auto& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return name.ends_with(".air");
}

TEST(Backlog, WritesNumberedFilesWhoseBytesFollowFromSeedAndNumber) {
  testing::TempDir dir;
  const BacklogOptions options{.count = 3, .first_number = 9, .seed = 5, .file = {.records = 30}};
  std::vector<std::string> reported;
  const auto files = write_backlog(air(), options, dir.path(), [&](const WrittenFile& file) {
    reported.push_back(file.path.filename().string());
  });

  const std::vector<std::string> expected = {"AIR000009.air", "AIR000010.air", "AIR000011.air"};
  EXPECT_EQ(names_in(dir.path()), expected);
  EXPECT_EQ(reported, expected);
  ASSERT_EQ(files.size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const std::string bytes = testing::read_file(files[i].path);
    EXPECT_EQ(bytes, generate_air_file(options.file, sample_file_seed(5, 9 + i)));
    EXPECT_EQ(files[i].bytes, bytes.size());
  }
  EXPECT_NE(testing::read_file(files[0].path), testing::read_file(files[1].path));

  // One file written on its own has the bytes it has within the backlog.
  testing::TempDir single;
  const auto one = write_backlog(
      air(), {.count = 1, .first_number = 10, .seed = 5, .file = {.records = 30}}, single.path());
  EXPECT_EQ(testing::read_file(one[0].path), testing::read_file(files[1].path));
}

TEST(Backlog, PartialFileIsNeverTakenAndIsRemovedWhenTheRenameFails) {
  for (int number : {1, 42, kMaxFileNumber}) {
    EXPECT_TRUE(loader_would_take(sample_file_name(air(), number)));
    EXPECT_FALSE(loader_would_take(partial_file_name(air(), number)));
  }

  // The second file cannot be written under its temporary name: its final
  // name must never appear, since a loader would take whatever is there.
  testing::TempDir blocked;
  fs::create_directories(blocked.path() / "AIR000002.air.partial" / "occupied");
  EXPECT_THROW(write_backlog(air(), {.count = 3, .seed = 2}, blocked.path()), std::runtime_error);
  EXPECT_EQ(names_in(blocked.path()),
            (std::vector<std::string>{"AIR000001.air", "AIR000002.air.partial"}));
  EXPECT_EQ(testing::read_file(blocked.path() / "AIR000001.air"),
            generate_air_file({}, sample_file_seed(2, 1)));

  // The second file cannot be renamed into place (a directory holds its
  // name): its temporary is removed and the files after it are not written.
  testing::TempDir occupied;
  fs::create_directories(occupied.path() / "AIR000002.air" / "occupied");
  EXPECT_THROW(write_backlog(air(), {.count = 3, .seed = 2}, occupied.path()), std::runtime_error);
  EXPECT_EQ(names_in(occupied.path()),
            (std::vector<std::string>{"AIR000001.air", "AIR000002.air"}));
  EXPECT_TRUE(fs::is_directory(occupied.path() / "AIR000002.air"));
}

TEST(Backlog, RefusesNumbersPastSixDigits) {
  testing::TempDir dir;
  EXPECT_THROW(write_backlog(air(), {.count = 2, .first_number = kMaxFileNumber}, dir.path()),
               std::invalid_argument);
  EXPECT_THROW(write_backlog(air(), {.count = 0}, dir.path()), std::invalid_argument);
  EXPECT_TRUE(names_in(dir.path()).empty());
}

}  // namespace
}  // namespace qx::generator
