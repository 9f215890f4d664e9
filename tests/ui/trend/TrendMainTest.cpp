// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window in the main window against the simulated monitor.
#include <gtest/gtest.h>

#include <QAction>

#include "platform/ProfileFile.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/trend/TrendChart.h"
#include "ui/trend/TrendWindow.h"

namespace vemo::test {
namespace {

using TrendMainTest = MainWindowTest;

TEST_F(TrendMainTest, ReadingsAndFailuresReachTheHistoryAndTheOpenWindow) {
  StartSim();
  TFormMain& f = Open();
  f.mnuViewTrend->trigger();
  ASSERT_NE(f.Trend(), nullptr);
  EXPECT_TRUE(f.Trend()->isVisible());
  EXPECT_TRUE(f.mnuViewTrend->isChecked());
  TriggerAndWait();
  EXPECT_EQ(f.History().RawCount(), 1u);
  EXPECT_EQ(f.Trend()->Chart()->Unit().Unit, std::string("W"));

  // A reading that fails is a gap.
  sim.Stop();
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.History().RawCount() == 2; }));
  EXPECT_TRUE(f.History().Entries(0, f.History().NewestMs() + 1).back().Gap);

  f.mnuViewTrend->trigger();
  EXPECT_FALSE(f.Trend()->isVisible());
  EXPECT_FALSE(f.mnuViewTrend->isChecked());
}

TEST_F(TrendMainTest, WindowReopensWithItsPlaceSizeAndSpanAndStaysOnScreen) {
  StartSim();
  TFormMain& f = Open();
  f.mnuViewTrend->trigger();
  f.Trend()->move(40, 30);
  f.Trend()->resize(520, 420);
  f.Trend()->SetSpanMs(kTrendSpansMs[2]);
  CloseWindow();
  ProfileFile ini(iniPath);
  EXPECT_EQ(ini.ReadInteger("Trend", "Left", 0), 40);
  EXPECT_EQ(ini.ReadInteger("Trend", "Width", 0), 520);
  EXPECT_EQ(ini.ReadInteger("Trend", "Span", 0), 3600);
  EXPECT_TRUE(ini.ReadBool("Trend", "Open", false));

  TFormMain& g = Open();
  ASSERT_TRUE(WaitUntil([&] { return g.Trend() && g.Trend()->isVisible(); }));
  EXPECT_EQ(g.Trend()->pos(), QPoint(40, 30));
  EXPECT_EQ(g.Trend()->size(), QSize(520, 420));
  EXPECT_EQ(g.Trend()->SpanMs(), kTrendSpansMs[2]);
  EXPECT_TRUE(g.mnuViewTrend->isChecked());
  g.mnuViewTrend->trigger();
  CloseWindow();
  EXPECT_FALSE(ProfileFile(iniPath).ReadBool("Trend", "Open", true));

  // Stored far off every screen, it opens on the primary one.
  ProfileFile(iniPath).WriteInteger("Trend", "Left", -5000);
  TFormMain& h = Open();
  h.mnuViewTrend->trigger();
  EXPECT_GE(h.Trend()->x(), 0);
}

}  // namespace
}  // namespace vemo::test
