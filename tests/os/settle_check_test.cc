#include "os/settle_check.h"

#include <gtest/gtest.h>

namespace qx::os {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const auto t0 = std::chrono::system_clock::time_point(seconds(1'700'000'000));

DirectoryEntry file(std::uintmax_t size, std::chrono::system_clock::time_point modified) {
  return {"X.air", EntryType::regular, size, modified};
}

TEST(SettleCheck, AFileSettlesOnceItKeptStillForTheSettleTime) {
  SettleCheck check(milliseconds(1000));
  // Written long ago: settled at first sight.
  EXPECT_TRUE(check.settled(file(10, t0 - seconds(60)), t0));

  // Written just now, then growing: each change starts the wait again.
  SettleCheck growing(milliseconds(1000));
  EXPECT_FALSE(growing.settled(file(10, t0 - milliseconds(400)), t0));
  EXPECT_FALSE(growing.settled(file(20, t0 + milliseconds(900)), t0 + milliseconds(900)));
  EXPECT_FALSE(growing.settled(file(20, t0 + milliseconds(900)), t0 + milliseconds(1800)));
  EXPECT_TRUE(growing.settled(file(20, t0 + milliseconds(900)), t0 + milliseconds(1900)));
}

TEST(SettleCheck, AFileStampedInTheFutureSettlesByThisProcesssClock) {
  SettleCheck check(milliseconds(1000));
  const auto ahead = t0 + std::chrono::hours(5);
  EXPECT_FALSE(check.settled(file(10, ahead), t0));
  EXPECT_FALSE(check.settled(file(10, ahead), t0 + milliseconds(999)));
  EXPECT_TRUE(check.settled(file(10, ahead), t0 + milliseconds(1000)));
  // Still growing under the skewed clock: the wait starts again.
  EXPECT_FALSE(check.settled(file(11, ahead + seconds(2)), t0 + milliseconds(1500)));
  EXPECT_TRUE(check.settled(file(11, ahead + seconds(2)), t0 + milliseconds(2500)));

  // A name that left the directory is forgotten: the same file back again
  // waits anew.
  check.forget_all_but({});
  EXPECT_FALSE(check.settled(file(11, ahead + seconds(2)), t0 + milliseconds(3000)));

  SettleCheck off(milliseconds(0));
  EXPECT_TRUE(off.settled(file(10, ahead), t0));
}

}  // namespace
}  // namespace qx::os
