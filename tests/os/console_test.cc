#include "os/console.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

namespace qx::os {
namespace {

// A real file, as the journal's stream is a real descriptor.
class StreamFile {
 public:
  StreamFile() : file_(std::tmpfile()) {}
  ~StreamFile() { std::fclose(file_); }
  std::FILE* file() const { return file_; }
  // "DEVICE:INODE" of the file, as the service manager writes it.
  std::string identity() const {
    struct stat status {};
    ::fstat(::fileno(file_), &status);
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
  }
  std::string text() const {
    std::fflush(file_);
    std::string out;
    std::rewind(file_);
    for (int c; (c = std::fgetc(file_)) != EOF;) out += static_cast<char>(c);
    return out;
  }

 private:
  std::FILE* file_;
};

TEST(JournalStream, IsRecognisedOnlyByTheDeviceAndInodeOfTheStream) {
  StreamFile out;
  StreamFile other;
  EXPECT_TRUE(is_journal_stream(out.file(), out.identity().c_str()));
  for (const std::string& value : {other.identity(), std::string(), std::string("garbage"),
                                   out.identity() + "x", ":" + out.identity()}) {
    EXPECT_FALSE(is_journal_stream(out.file(), value.c_str())) << value;
  }
  EXPECT_FALSE(is_journal_stream(out.file(), nullptr));
}

// Every line gets the priority it began with, also one written in pieces
// and those held in a capture, an error printer's among them, which keep
// their order.
TEST(JournalStream, EachLineCarriesThePriorityItBeganWith) {
  const std::string text_lines[] = {"Scanning\n", "\nFile X was not loaded\n", "-14 ", "error\n"};
  for (bool journal : {true, false}) {
    StreamFile out;
    Console console(out.file(), journal);
    console.print(text_lines[0]);
    console.print(text_lines[1], Priority::warning);
    console.print(text_lines[2], Priority::err);
    console.print(text_lines[3]);
    std::string held;
    console.capture(&held);
    console.print("held\n", Priority::notice);
    console.print("now\n", Priority::err);
    console.capture(nullptr);
    console.replay(held);
    EXPECT_EQ(out.text(), journal ? "<6>Scanning\n<4>\n<4>File X was not loaded\n<3>-14 error\n"
                                    "<5>held\n<3>now\n"
                                  : "Scanning\n\nFile X was not loaded\n-14 error\nheld\nnow\n");
  }
}

}  // namespace
}  // namespace qx::os
