// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/BandPlan.h"

#include "platform/ProfileFile.h"
#include "tests/platform/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vemo {
namespace {

TEST(BandPlan, FindsTheBandOfAFrequencyAtAndAroundItsEdges) {
  struct Row {
    int region;
    std::int64_t hz;
    const char* band;  // "" for none
  } rows[] = {
      {1, 13999999, ""},
      {1, 14000000, "20m"},
      {1, 14350000, "20m"},
      {1, 14350001, ""},
      {1, 1800000, ""},
      {2, 1800000, "160m"},
      {1, 3800000, "80m"},
      {1, 3800001, ""},
      {2, 4000000, "80m"},
      {1, 7200001, ""},
      {2, 7250000, "40m"},
      {1, 70250000, "4m"},
      {2, 70250000, ""},
      {2, 146500000, "2m"},
      {1, 146500000, ""},
      {3, 435000000, "70cm"},
      {2, 222000000, "1.25m"},
      {1, 1296000000, "23cm"},
      {1, 0, ""},
      {1, -5, ""},
  };
  for (const Row& r : rows) {
    const BandPlan plan = BandPlan::Amateur(r.region);
    const TBand* band = plan.Find(r.hz);
    EXPECT_EQ(band ? band->Name : "", r.band) << "region " << r.region << ", " << r.hz << " Hz";
  }
}

TEST(BandPlan, UserBandsReplaceAddAndDropDefaultsAndTheNarrowestWins) {
  test::TempDir dir;
  std::ofstream(dir / "s.ini") << "[Bands]\nRegion=2\n20m=14000000-14150000\n"
                                  "FM 98.5=98400000-98600000\nNet=14070000-14080000\n40m=\n"
                                  "Bad=14 MHz\nReversed=2-1\n";
  ProfileFile file(dir / "s.ini");
  std::vector<std::string> warnings;
  const BandPlan plan = BandPlan::Read(file, warnings);
  EXPECT_EQ(warnings.size(), 2u);
  EXPECT_EQ(plan.Find(14200000), nullptr);
  EXPECT_EQ(plan.Find(14100000)->Name, "20m");
  EXPECT_EQ(plan.Find(14075000)->Name, "Net");
  EXPECT_EQ(plan.Find(98500000)->Name, "FM 98.5");
  EXPECT_EQ(plan.Find(7100000), nullptr);
  EXPECT_EQ(plan.Find(3950000)->Name, "80m");  // region 2's edges
}

}  // namespace
}  // namespace vemo
