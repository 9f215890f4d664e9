// SPDX-License-Identifier: GPL-3.0-or-later
// The calibration wizard driven like an operator would, against the simulated monitor
// through the real serial layer. The simulator's converters count zero + watts x counts /
// calibration power (16 % of its full scale forward, 1.6 % reflected), so with its full
// scale of 125 W, counts of 2000 and 200 give 1000 and 3000 at 10 W and 30 W. It scales
// its readings with the calibration words it loaded at its last power-up.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tests/monitor/SimLink.h"
#include "ui/controls/NumEdit.h"
#include "ui/dialogs/CalWiz.h"

namespace vemo::test {
namespace {

using Words = std::array<uint16_t, 4>;  // EEPROM words 0..3: refl offset, fwd offset,
                                        // refl factor, fwd factor

const QString kPowerCycle =
    "You must cycle the power to the VSWR \r\nMonitor to load the new calibration factors.";

struct Shown {
  QMessageBox::Icon icon;
  QString text;
};

class CalWizard : public ::testing::Test {
 protected:
  // Starts the simulator with converters that the preset words describe, identifies it,
  // and stores the calibration words to start from.
  void Start(const Words& preset, const std::vector<std::string>& extraArgs = {}) {
    std::vector<std::string> args{
        "--forward-counts",   std::to_string(preset[3]),
        "--reflected-counts", std::to_string(preset[2]),
        "--forward-zero",     std::to_string(static_cast<int16_t>(preset[1])),
        "--reflected-zero",   std::to_string(static_cast<int16_t>(preset[0]))};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    StartWithoutPreset(args);
    for (uint8_t a = 0; a < 4; ++a) link->monitor.WriteEeprom(a, preset[a]);
  }
  // The simulator keeps its own words: 0, 0, 5243, 5243.
  void StartWithoutPreset(const std::vector<std::string>& extraArgs) {
    std::vector<std::string> args{"--noise", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    link = std::make_unique<SimLink>(args);
    ASSERT_TRUE(link->monitor.Identify());
    wizard.SetMessageBox(
        [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
          messages.push_back({icon, text});
          return QMessageBox::Ok;
        });
  }

  TVSWR_Monitor& Monitor() { return link->monitor; }
  QPushButton* Button(const char* name) { return wizard.findChild<QPushButton*>(name); }
  QCheckBox* Check(const char* name) { return wizard.findChild<QCheckBox*>(name); }
  TRealEdit* Real(const char* name) { return wizard.findChild<TRealEdit*>(name); }
  QString Box(const char* name) { return wizard.findChild<TCardinalEdit*>(name)->text(); }
  void Click(const char* name) { Button(name)->click(); }

  // Applies watts to the channel at the monitor, enters them on the page and presses Next.
  void Measure(const char* entry, bool forward, double applied, double entered) {
    if (forward)
      link->sim.SetForward(applied);
    else
      link->sim.SetReflected(applied);
    Real(entry)->SetValue(entered);
    Click("btnNext");
  }

  Words ReadWords() {
    Words words{};
    for (uint8_t a = 0; a < 4; ++a) words[a] = Monitor().ReadEeprom(a);
    return words;
  }
  bool RawModeOn() { return Monitor().CommandT()[11] == 'R'; }
  // Addresses of the EEPROM writes the monitor received since Start.
  std::vector<int> WrittenAddresses() {
    std::vector<int> addresses;
    for (const TranscriptEntry& e : link->sim.Transcript())
      if (e.dir == "rx" && e.cmd == "Y" && e.hex.size() >= 4)
        addresses.push_back(std::stoi(e.hex.substr(2, 2), nullptr, 16));
    return addresses;
  }
  size_t Count(const char* command) {
    size_t n = 0;
    for (const std::string& c : link->sim.ReceivedCommands()) n += c == command;
    return n;
  }

  std::unique_ptr<SimLink> link;
  TdlgCalWizard wizard;
  std::vector<Shown> messages;
};

struct WizardRun {
  const char* name;
  Words preset;
  bool fwd, refl;
  double freqFactor;
  double fwdApplied1, fwdApplied2, reflApplied1, reflApplied2;  // entered: 10 W and 30 W
  Words expected;
};

void PrintTo(const WizardRun& r, std::ostream* os) {
  *os << r.name;
}

class CalWizardRuns : public CalWizard, public ::testing::WithParamInterface<WizardRun> {};

TEST_P(CalWizardRuns, WriteTheFittedWordsInAddressOrderAndLeaveRawMode) {
  const WizardRun& r = GetParam();
  Start(r.preset);
  wizard.Activate(Monitor());
  ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
  EXPECT_TRUE(RawModeOn());
  EXPECT_EQ(Real("realedFSPower")->text(), "100");  // 0.8 x the stored 125 W
  EXPECT_EQ(Box("cardedOldFwdCal"), QString::number(r.preset[3]));
  Check("chkbxFwdCalibration")->setChecked(r.fwd);
  Check("chkbxReflCalibration")->setChecked(r.refl);
  Real("realedFreqFactor")->SetValue(r.freqFactor);
  Click("btnNext");
  if (r.fwd) {
    Measure("realedFwdPwr1", true, r.fwdApplied1, 10);
    Measure("realedFwdPwr2", true, r.fwdApplied2, 30);
  }
  if (r.refl) {
    Measure("realedReflPwr1", false, r.reflApplied1, 10);
    Measure("realedReflPwr2", false, r.reflApplied2, 30);
  }
  ASSERT_EQ(wizard.PageIndex(), kPageFinish);
  ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
  EXPECT_EQ(Box("cardedNewFwdCal"), QString::number(r.expected[3]));
  EXPECT_EQ(Box("cardedNewFwdOffset"), QString::number(r.expected[1]));
  EXPECT_EQ(Box("cardedNewReflCal"), QString::number(r.expected[2]));
  EXPECT_EQ(Box("cardedNewReflOffset"), QString::number(r.expected[0]));
  const size_t writesBefore = WrittenAddresses().size();

  Click("btnFinish");
  EXPECT_FALSE(wizard.isVisible());
  EXPECT_EQ(wizard.result(), QDialog::Accepted);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, QMessageBox::Information);
  EXPECT_EQ(messages[0].text, kPowerCycle);
  EXPECT_EQ(ReadWords(), r.expected);
  const std::vector<int> all = WrittenAddresses();
  const std::vector<int> written(all.begin() + static_cast<ptrdiff_t>(writesBefore), all.end());
  EXPECT_EQ(written, (r.fwd || r.refl ? std::vector<int>{0, 1, 2, 3} : std::vector<int>{}));
  EXPECT_FALSE(RawModeOn());
}

// The preset words make the simulator's counts follow the applied power; the fit turns the
// entered powers into new words. Applying half the entered power halves the factor.
INSTANTIATE_TEST_SUITE_P(CalWizard, CalWizardRuns,
                         testing::Values(WizardRun{"WorkedExampleKeepsTheWords",
                                                   {0, 0, 200, 2000},
                                                   true,
                                                   true,
                                                   0,
                                                   10,
                                                   30,
                                                   10,
                                                   30,
                                                   {0, 0, 200, 2000}},
                                         WizardRun{"HalfPowerHalvesBothFactors",
                                                   {0, 0, 200, 2000},
                                                   true,
                                                   true,
                                                   0,
                                                   5,
                                                   15,
                                                   5,
                                                   15,
                                                   {0, 0, 100, 1000}},
                                         WizardRun{"FrequencyFactorScalesThePowers",
                                                   {0, 0, 200, 2000},
                                                   true,
                                                   true,
                                                   2.5,
                                                   10,
                                                   30,
                                                   10,
                                                   30,
                                                   {0, 0, 205, 2051}},
                                         WizardRun{"OnlyReflectedRewritesTheOldForwardWords",
                                                   {7, 9, 200, 2000},
                                                   false,
                                                   true,
                                                   0,
                                                   0,
                                                   0,
                                                   5,
                                                   15,
                                                   {7, 9, 100, 2000}},
                                         WizardRun{"NegativeOffsetIsWrittenAsItsLow16Bits",
                                                   {0, 0, 200, 2000},
                                                   true,
                                                   false,
                                                   0,
                                                   4.5,
                                                   14.5,
                                                   0,
                                                   0,
                                                   {0, 65486, 200, 1000}},
                                         WizardRun{"NeitherChannelWritesNothing",
                                                   {3, 4, 300, 3000},
                                                   false,
                                                   false,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   0,
                                                   {3, 4, 300, 3000}}),
                         [](const testing::TestParamInfo<WizardRun>& p) {
                           return std::string(p.param.name);
                         });

TEST_F(CalWizard, ResetThenFinishWritesFactoryFactorsToBothChannels) {
  Start({3, 4, 300, 3000});
  wizard.Activate(Monitor());
  Check("chkbxFwdCalibration")->setChecked(false);
  Check("chkbxReflCalibration")->setChecked(false);
  Click("btnNext");
  ASSERT_EQ(wizard.PageIndex(), kPageFinish);
  Click("btnResetCal");
  EXPECT_TRUE(Check("chkbxFwdCalibration")->isChecked());
  EXPECT_TRUE(Check("chkbxReflCalibration")->isChecked());
  EXPECT_EQ(Box("cardedNewReflCal"), "5243");
  Click("btnFinish");
  EXPECT_EQ(ReadWords(), (Words{0, 0, 5243, 5243}));
}

TEST_F(CalWizard, UpdatedFullScaleRoundTripsAndFeedsTheFit) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  Real("realedFSPower")->SetValue(0);  // refused: the monitor's value is shown again
  Click("btnUpdateFSPower");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Invalid full scale power");
  EXPECT_EQ(Real("realedFSPower")->text(), "100");
  messages.clear();
  Real("realedFSPower")->SetValue(40);
  Click("btnUpdateFSPower");
  ASSERT_TRUE(messages.empty()) << messages[0].text.toStdString();
  EXPECT_EQ(Real("realedFSPower")->text(), "40");
  EXPECT_EQ(Monitor().ReadEeprom(32), 50000);  // 1.25 x 40 W in milliwatts
  EXPECT_EQ(Monitor().ReadEeprom(34), 0);
  // The converter still counts 100 per watt; at 50 W stored full scale the forward
  // calibration power is 8 W, so the factor is 800. A fit still using 125 W would give 2000.
  Check("chkbxReflCalibration")->setChecked(false);
  Click("btnNext");
  Measure("realedFwdPwr1", true, 10, 10);
  Measure("realedFwdPwr2", true, 30, 30);
  EXPECT_EQ(Box("cardedNewFwdCal"), "800");
  Real("realedFSPower")->SetValue(100);
  wizard.reject();
  EXPECT_EQ(Monitor().ReadEeprom(32), 50000);  // the entry alone writes nothing
}

// The whole way: readings taken at the monitor, the fit, Finish, and the power cycle after
// which the monitor measures with the new words. Entering k times the applied power makes
// it read k times too high; entering the applied power makes it read right.
TEST_F(CalWizard, MonitorMeasuresAsCalibratedOnceItsPowerIsCycled) {
  struct Row {
    const char* name;
    Words start;  // loaded before the run (the factory words match the converter)
    double entered;
    double forwardBefore, reflectedBefore, forwardAfter, reflectedAfter;
  };
  const Row rows[] = {
      {"wrong readings", {0, 0, 5243, 5243}, 2, 50, 1, 100, 2},
      // 50 x 5243 / 7000 - 500 x 20 / 7000 and 1 x 5243 / 4000 - 300 x 2 / 4000.
      {"right readings", {300, 500, 4000, 7000}, 1, 36.02, 1.161, 50, 1},
  };
  const auto expectReading = [this](double forward, double reflected, const std::string& when) {
    TMonitorReading reading;
    Monitor().GetReading(reading);
    EXPECT_NEAR(reading.Forward, forward, forward * 0.005) << when;
    EXPECT_NEAR(reading.Reflected, reflected, reflected * 0.005) << when;
  };
  for (const Row& row : rows) {
    link.reset();
    StartWithoutPreset({});
    for (uint8_t a = 0; a < 4; ++a) Monitor().WriteEeprom(a, row.start[a]);
    link->sim.PowerCycle();
    link->sim.SetForward(50);
    link->sim.SetReflected(1);
    expectReading(row.forwardBefore, row.reflectedBefore, std::string(row.name) + ", before");

    wizard.Activate(Monitor());
    Click("btnNext");
    Measure("realedFwdPwr1", true, 10, 10 * row.entered);
    Measure("realedFwdPwr2", true, 30, 30 * row.entered);
    Measure("realedReflPwr1", false, 1, 1 * row.entered);
    Measure("realedReflPwr2", false, 3, 3 * row.entered);
    Click("btnFinish");
    ASSERT_EQ(messages.size(), 1u) << row.name;
    EXPECT_EQ(messages[0].text, kPowerCycle);
    messages.clear();

    link->sim.SetForward(50);
    link->sim.SetReflected(1);
    expectReading(row.forwardBefore, row.reflectedBefore, std::string(row.name) + ", written");
    link->sim.PowerCycle();
    expectReading(row.forwardAfter, row.reflectedAfter, std::string(row.name) + ", cycled");
  }
}

TEST_F(CalWizard, ButtonsFollowThePageAndBackSkipsAnUncheckedChannel) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  const auto states = [this] {
    return std::array<bool, 3>{Button("btnBack")->isEnabled(), Button("btnNext")->isEnabled(),
                               Button("btnFinish")->isEnabled()};
  };
  using S = std::array<bool, 3>;
  EXPECT_EQ(states(), (S{false, true, false}));
  Click("btnNext");
  EXPECT_EQ(wizard.PageIndex(), kPageFwdPower1);
  EXPECT_EQ(states(), (S{true, true, false}));
  Click("btnBack");
  EXPECT_EQ(wizard.PageIndex(), kPageCurrentValues);
  EXPECT_EQ(states(), (S{false, true, false}));

  Check("chkbxReflCalibration")->setChecked(false);
  Click("btnNext");
  Measure("realedFwdPwr1", true, 10, 10);
  Measure("realedFwdPwr2", true, 30, 30);
  EXPECT_EQ(wizard.PageIndex(), kPageFinish);
  EXPECT_EQ(states(), (S{true, false, true}));
  Click("btnBack");
  EXPECT_EQ(wizard.PageIndex(), kPageFwdPower2);  // not the reflected pages
  EXPECT_TRUE(messages.empty());
}

TEST_F(CalWizard, NoFitUsesAPointNotMeasuredInThisPass) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  // Neither channel, then Reset checks both: Back lands on the second reflected page
  // without a first reflected point.
  Check("chkbxFwdCalibration")->setChecked(false);
  Check("chkbxReflCalibration")->setChecked(false);
  Click("btnNext");
  Click("btnResetCal");
  Click("btnBack");
  ASSERT_EQ(wizard.PageIndex(), kPageReflPower2);
  Measure("realedReflPwr2", false, 30, 30);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].text.contains("first reflected power level has not been measured"));
  EXPECT_EQ(wizard.PageIndex(), kPageReflPower2);
  EXPECT_EQ(Box("cardedNewReflCal"), "5243");
  Click("btnBack");
  Measure("realedReflPwr1", false, 5, 10);
  Measure("realedReflPwr2", false, 15, 30);
  EXPECT_EQ(wizard.PageIndex(), kPageFinish);
  EXPECT_EQ(Box("cardedNewReflCal"), "100");
}

TEST_F(CalWizard, EqualPowersShowAnErrorAndStoreNothing) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  Click("btnNext");
  Measure("realedFwdPwr1", true, 10, 10);
  Measure("realedFwdPwr2", true, 30, 10);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, QMessageBox::Critical);
  EXPECT_TRUE(messages[0].text.contains("equal")) << messages[0].text.toStdString();
  EXPECT_EQ(wizard.PageIndex(), kPageFwdPower2);
  EXPECT_EQ(Box("cardedNewFwdCal"), "2000");
  Measure("realedFwdPwr2", true, 20, 30);  // 1000 and 2000 counts 20 W apart: slope 50
  EXPECT_EQ(wizard.PageIndex(), kPageReflPower1);
  EXPECT_EQ(Box("cardedNewFwdCal"), "1000");
  EXPECT_EQ(Box("cardedNewFwdOffset"), "500");
}

TEST_F(CalWizard, UncheckingACalibratedChannelKeepsItsStoredWords) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  Click("btnNext");
  Measure("realedFwdPwr1", true, 5, 10);
  Measure("realedFwdPwr2", true, 15, 30);
  EXPECT_EQ(Box("cardedNewFwdCal"), "1000");
  while (wizard.PageIndex() != kPageCurrentValues) Click("btnBack");
  Check("chkbxFwdCalibration")->setChecked(false);
  EXPECT_EQ(Box("cardedNewFwdCal"), "2000");
  Click("btnNext");
  Measure("realedReflPwr1", false, 5, 10);
  Measure("realedReflPwr2", false, 15, 30);
  Click("btnFinish");
  EXPECT_EQ(ReadWords(), (Words{0, 0, 100, 2000}));
}

TEST_F(CalWizard, ReadingTakenOutOfRawModeIsTakenAgainInRawMode) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  Click("btnNext");
  Monitor().CommandZ();  // someone switched raw mode off behind the wizard's back
  ASSERT_FALSE(RawModeOn());
  Measure("realedFwdPwr1", true, 10, 10);
  Measure("realedFwdPwr2", true, 30, 30);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Box("cardedNewFwdCal"), "2000");  // calibrated numbers would give 0.16 x 125
  EXPECT_TRUE(RawModeOn());
}

TEST_F(CalWizard, FailedWriteKeepsTheFinishPageAndClosingStillLeavesRawMode) {
  StartWithoutPreset({"--bad-eeprom-echo"});
  wizard.Activate(Monitor());
  Check("chkbxFwdCalibration")->setChecked(false);
  Check("chkbxReflCalibration")->setChecked(false);
  Click("btnNext");
  Click("btnResetCal");
  Click("btnFinish");
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Error writing to EEPROM");
  EXPECT_TRUE(wizard.isVisible());
  EXPECT_EQ(wizard.PageIndex(), kPageFinish);
  EXPECT_TRUE(RawModeOn());
  EXPECT_EQ(WrittenAddresses(), std::vector<int>{0});  // the first word failed; none after it
  Click("btnCancel");
  EXPECT_FALSE(wizard.isVisible());
  EXPECT_EQ(wizard.result(), QDialog::Rejected);
  EXPECT_FALSE(RawModeOn());
}

TEST_F(CalWizard, CancelAndClosingWriteNothingAndLeaveRawMode) {
  Start({0, 0, 200, 2000});
  for (int how = 0; how < 3; ++how) {
    wizard.Activate(Monitor());
    EXPECT_TRUE(RawModeOn());
    Click("btnNext");
    if (how == 0) Click("btnCancel");
    if (how == 1) wizard.close();
    if (how == 2) wizard.reject();  // Escape
    EXPECT_FALSE(wizard.isVisible()) << how;
    EXPECT_EQ(wizard.result(), QDialog::Rejected) << how;
    EXPECT_FALSE(RawModeOn()) << how;
  }
  EXPECT_EQ(WrittenAddresses(), (std::vector<int>{0, 1, 2, 3}));  // the preset only
  EXPECT_TRUE(messages.empty());
}

TEST_F(CalWizard, EveryShowingStartsAfresh) {
  Start({0, 0, 200, 2000});
  wizard.Activate(Monitor());
  Real("realedFreqFactor")->SetValue(2.5);
  Check("chkbxFwdCalibration")->setChecked(false);
  Click("btnNext");
  wizard.reject();
  Monitor().WriteEeprom(3, 4000);
  wizard.Activate(Monitor());
  EXPECT_EQ(wizard.PageIndex(), kPageCurrentValues);
  EXPECT_TRUE(Check("chkbxFwdCalibration")->isChecked());
  EXPECT_EQ(Real("realedFreqFactor")->text(), "0.00");
  EXPECT_EQ(Box("cardedOldFwdCal"), "4000");
  EXPECT_EQ(Box("cardedNewFwdCal"), "4000");
  wizard.reject();
}

TEST_F(CalWizard, MonitorThatStopsAnsweringAtActivationGetsNothingWritten) {
  // Identification and the preset are answered, then the monitor falls silent.
  Start({0, 0, 200, 2000}, {"--stop-after", "5"});
  wizard.Activate(Monitor());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "Timeout while reading eeprom");
  Click("btnNext");
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[1].text.contains("could not be read")) << messages[1].text.toStdString();
  EXPECT_EQ(wizard.PageIndex(), kPageCurrentValues);
  wizard.reject();  // raw mode was never asked for: no further exchange, no message
  EXPECT_EQ(messages.size(), 2u);
  EXPECT_EQ(Count("Z"), 0u);
}

TEST_F(CalWizard, ExecuteRunsModallyUntilFinish) {
  Start({0, 0, 200, 2000});
  // Acts once activation is over and the modal loop runs.
  std::function<void()> act = [&] {
    if (!wizard.isVisible() || !Button("btnNext")->isEnabled()) {
      QTimer::singleShot(10, &wizard, act);
      return;
    }
    Check("chkbxFwdCalibration")->setChecked(false);
    Check("chkbxReflCalibration")->setChecked(false);
    Click("btnNext");
    Click("btnFinish");
  };
  QTimer::singleShot(0, &wizard, act);
  EXPECT_EQ(wizard.Execute(Monitor()), QDialog::Accepted);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_FALSE(RawModeOn());
}

}  // namespace
}  // namespace vemo::test
