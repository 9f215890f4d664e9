// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/Interlock.h"

#include "rig/RigctldUnkey.h"
#include "tests/support/RigctldProcess.h"

#include <gtest/gtest.h>

namespace vemo {
namespace {

TEST(Interlock, LatchesUntilAcknowledgedAndUnkeysEveryKeyUpMeanwhile) {
  test::RigctldProcess rigctld;
  rigctld.Start();
  RigctldUnkey rig(RigctldTarget(rigctld.Address()));
  int safePowerCalls = 0;
  Interlock interlock([&] { rig.Unkey(); }, [&] { ++safePowerCalls; });

  rigctld.Rigctl({"T", "1"});
  auto events = interlock.Trip("vswr", 1000);
  EXPECT_FALSE(rigctld.Ptt());
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Change, InterlockChange::Tripped);
  EXPECT_EQ(safePowerCalls, 1);
  EXPECT_TRUE(interlock.Latched());

  // Keyed again by the operator or another program while latched.
  rigctld.Rigctl({"T", "1"});
  events = interlock.Keyed(true, 2000);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Change, InterlockChange::Reunkeyed);
  EXPECT_EQ(events[0].Reason, "vswr");
  EXPECT_FALSE(rigctld.Ptt());

  events = interlock.Acknowledge(3000);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].Change, InterlockChange::Released);
  rigctld.Rigctl({"T", "1"});
  EXPECT_TRUE(interlock.Keyed(true, 4000).empty());
  EXPECT_TRUE(rigctld.Ptt());
  EXPECT_TRUE(interlock.Acknowledge(5000).empty());
}

TEST(Interlock, AFailedUnkeyIsReportedAndStillLatches) {
  test::RigctldProcess rigctld;
  rigctld.Start();
  RigctldUnkey rig(RigctldTarget(rigctld.Address()));
  rigctld.Stop();
  Interlock interlock([&] { rig.Unkey(); });
  const auto events = interlock.Trip("test", 1000);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].Change, InterlockChange::Tripped);
  EXPECT_EQ(events[1].Change, InterlockChange::UnkeyFailed);
  EXPECT_NE(events[1].Reason.find("rigctld at"), std::string::npos);
  EXPECT_TRUE(interlock.Latched());
}

}  // namespace
}  // namespace vemo
