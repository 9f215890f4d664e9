// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/RigPoller.h"

#include "tests/support/RigctldProcess.h"

#include <gtest/gtest.h>

#include <thread>

namespace vemo {
namespace {

using namespace std::chrono_literals;

bool Within(std::chrono::milliseconds bound, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

TEST(RigPoller, FollowsTheRigLosesItAndFindsItAgain) {
  test::RigctldProcess rigctld;
  rigctld.Start();
  rigctld.Rigctl({"F", "14074000"});
  rigctld.Rigctl({"T", "1"});
  RigPoller poller(std::make_shared<Rig>(RigctldTarget(rigctld.Address())), 50ms);
  ASSERT_TRUE(Within(10s, [&] { return poller.State().FrequencyHz == 14074000; }));
  EXPECT_TRUE(poller.State().Keyed);
  EXPECT_EQ(poller.FrequencyAt(NowMs()), 14074000.0);
  // Older than two intervals: no frequency for such a reading.
  EXPECT_FALSE(poller.FrequencyAt(NowMs() + 1000));

  rigctld.Stop();
  ASSERT_TRUE(Within(10s, [&] { return !poller.State().Connected; }));
  EXPECT_FALSE(poller.State().Error.empty());
  EXPECT_FALSE(poller.FrequencyAt(NowMs()));

  rigctld.Start();
  rigctld.Rigctl({"F", "7074000"});
  ASSERT_TRUE(Within(20s, [&] { return poller.State().FrequencyHz == 7074000; }));
}

TEST(Rig, AddressesThatAreNoHostAndPortAreRefused) {
  for (const char* text : {"", "localhost", ":4532", "host:", "host:0", "host:65536", "host:45x"})
    EXPECT_THROW(RigctldTarget(text), RigError) << text;
  EXPECT_EQ(RigctldTarget("::1:4532").Path, "::1:4532");
}

}  // namespace
}  // namespace vemo
