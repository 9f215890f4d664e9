// SPDX-License-Identifier: GPL-3.0-or-later
// The options dialogs end to end: settings read from the simulated monitor through the real
// session and port, shown, changed through the dialog's controls, and sent back; the
// simulator's transcript shows the exact commands the monitor received.

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <string>
#include <vector>

#include "monitor/Buffer.h"
#include "monitor/ReadSettings.h"
#include "monitor/VSWRMon.h"
#include "serial/ComPort.h"
#include "tests/serial/PtyPeer.h"
#include "tests/support/SimProcess.h"
#include "tests/ui/controls/ModalWatcher.h"
#include "ui/controls/NumEdit.h"
#include "ui/dialogs/OptionsSending.h"
#include "ui/dialogs/OptnsDlg.h"
#include "ui/dialogs/OptnsDlgDualRelay.h"

namespace vemo {
namespace {

using Commands = std::vector<std::string>;

// The main window's forwarders: each passes its values to the session's setter.
class SessionForwarders : public ISettingsForwarders {
 public:
  explicit SessionForwarders(TVSWR_Monitor& monitor) : m_(monitor) {}
  void SetCheckOnZeroPower(bool on) override { m_.WriteCheckOnZeroPower(on); }
  void SetVSWRLevel(uint8_t level) override { m_.WriteVSWRLevel(level); }
  void SetHighPowerAlarm(bool enable, int32_t level) override {
    m_.WriteHiPowerAlarm({level, enable});
  }
  void SetLowPowerAlarm(bool enable, int32_t level) override {
    m_.WriteLowPowerAlarm({level, enable});
  }
  void SetAlarmEnable(bool on) override { m_.WriteAlarmEnable(on); }
  void SetRelaySense(bool on) override { m_.WriteRelaySense(on); }
  void SetRelay2Sense(bool on) override { m_.WriteRelay2Sense(on); }
  void SetLatchAlarm(bool on) override { m_.WriteLatchAlarm(on); }
  void SetAlarmAtPowerUp(bool on) override { m_.WriteAlarmAtPowerUp(on); }
  void SetPushToTalk(bool enable, float delay) override { m_.WritePushToTalk({enable, delay}); }

 private:
  TVSWR_Monitor& m_;
};

class OptionsAgainstSimulator : public testing::Test {
 protected:
  static constexpr int kPort = 29;

  void TearDown() override {
    port_.SetOpen(false);
    test::MapPort(kPort, "/dev/vemo-unmapped");
  }

  void Connect(const std::string& model, const std::string& firmware) {
    const std::string device =
        sim_.Start({"--model", model, "--firmware", firmware, "--noise", "0"});
    test::MapPort(kPort, device);
    port_.SetComNumber(kPort);
    port_.SetBaud(9600);
    port_.SetOnTriggerAvail([this](TCustomComPort& cp, uint16_t count) {
      std::string bytes(count, '\0');
      cp.ReadBlock(bytes.data(), count);
      for (char c : bytes) buffer_.Put(static_cast<uint8_t>(c));
    });
    port_.SetOpen(true);
    ASSERT_TRUE(monitor_.Identify());
  }

  MonitorSettings ReadAll() { return ReadMonitorSettings(monitor_); }

  // Commands the monitor received after the first `mark` ones.
  Commands Since(size_t mark) const {
    const Commands all = sim_.ReceivedCommands();
    return Commands(all.begin() + std::min(mark, all.size()), all.end());
  }

  size_t Mark() const { return sim_.ReceivedCommands().size(); }

  // No command reached the monitor that its model does not have.
  void ExpectNoUnsupportedCommand() const {
    for (const test::TranscriptEntry& e : sim_.Transcript()) {
      EXPECT_NE(e.note, "unsupported") << e.text;
    }
  }

  test::SimProcess sim_;
  TComPort port_;
  TBuffer buffer_;
  TVSWR_Monitor monitor_{port_, buffer_};
  SessionForwarders forwarders_{monitor_};
};

std::string Flag(char letter, bool on) {
  return std::string(1, letter) + (on ? "1" : "0");
}
// Latch and alarm at power-up are switched on with "0".
std::string InvertedFlag(char letter, bool on) {
  return Flag(letter, !on);
}
std::string PushToTalkDelay(float seconds) {
  const int units = static_cast<int>(std::lround(seconds * 6.4));
  return units < 10 ? "% " + std::to_string(units) : "%" + std::to_string(units);
}

struct SingleRelayCase {
  const char* model;
  const char* firmware;
  OptionsLayout layout;
  bool statusFlags;  // alarm enable, relay sense, latch, alarm at power-up
  bool pushToTalk;
  bool powerAlarms;
  int vswrLevels;
};

void PrintTo(const SingleRelayCase& c, std::ostream* os) {
  *os << c.model << ' ' << c.firmware;
}

class SingleRelayAgainstSimulator : public OptionsAgainstSimulator,
                                    public testing::WithParamInterface<SingleRelayCase> {};

// Every control, shown or hidden, is turned around and OK pressed; the monitor receives
// exactly the commands its model and firmware have, in the dialog's order.
TEST_P(SingleRelayAgainstSimulator, OkSendsExactlyTheCommandsTheModelHas) {
  const SingleRelayCase& c = GetParam();
  Connect(c.model, c.firmware);
  const MonitorSettings read = ReadAll();
  TdlgOptions dialog(&forwarders_);
  dialog.SetDeviceEnabled(true, monitor_.ModelId(), monitor_.FirmwareDate());
  dialog.Fill(read);
  dialog.show();
  ASSERT_EQ(dialog.Layout(), c.layout);
  for (QCheckBox* box :
       {dialog.chkbxAlarmEnable, dialog.chkbxRelaySense, dialog.chkbxLatchAlarm,
        dialog.chkbxPwrUpAlarm, dialog.chkbxAlarmOnZero, dialog.chkbxEnableHiPwrAlarm}) {
    box->toggle();
  }
  const int highLevel = read.HighPowerLevel == 50 ? 10 : 50;
  dialog.cardedHiPower->SetValue(highLevel);
  dialog.cmbobxVSWRLevel->setCurrentIndex(c.vswrLevels - 1);
  dialog.chkbxPushToTalkEnable->setChecked(true);
  dialog.realedPushToTalkDelay->SetValue(1.0);
  const size_t mark = Mark();
  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  ASSERT_EQ(dialog.result(), QDialog::Accepted);

  Commands expected;
  if (c.statusFlags) {
    expected = {Flag('6', !read.VSWRAlarmEnable), Flag('5', !read.RelaySense),
                InvertedFlag('O', !read.LatchAlarm), InvertedFlag('U', !read.AlarmAtPowerUp)};
  }
  if (c.pushToTalk) expected.insert(expected.end(), {"&1", "% 6"});
  expected.push_back(c.vswrLevels == 13 ? "9C" : "95");
  expected.insert(expected.end(), {"Q", "P"});
  if (c.powerAlarms) {
    expected.insert(expected.end(), {"L", highLevel == 50 ? "M13107" : "M 2621",
                                     Flag('N', !read.HighPowerEnable), "D"});
  }
  EXPECT_EQ(Since(mark), expected);
  ExpectNoUnsupportedCommand();

  // Read back, the monitor holds what the dialog sent.
  const MonitorSettings now = ReadAll();
  EXPECT_EQ(now.VSWRLevel, c.vswrLevels - 1);
  EXPECT_EQ(now.CheckOnZeroPower, !read.CheckOnZeroPower);
  if (c.statusFlags) {
    EXPECT_EQ(now.VSWRAlarmEnable, !read.VSWRAlarmEnable);
    EXPECT_EQ(now.LatchAlarm, !read.LatchAlarm);
    EXPECT_EQ(now.AlarmAtPowerUp, !read.AlarmAtPowerUp);
  }
  if (c.powerAlarms) {
    EXPECT_EQ(now.HighPowerLevel, highLevel);
    EXPECT_EQ(now.HighPowerEnable, !read.HighPowerEnable);
  }
  if (c.pushToTalk) {
    EXPECT_FLOAT_EQ(now.PushToTalkDelay, 0.94f);  // 6 units of 1/6.4 s
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, SingleRelayAgainstSimulator,
    testing::Values(
        SingleRelayCase{"KRFMON01", "2005-01-01", OptionsLayout::A, false, false, false, 6},
        SingleRelayCase{"KRFMON03", "2010-01-07", OptionsLayout::G, true, false, true, 13},
        SingleRelayCase{"KRFMON03", "2010-01-08", OptionsLayout::H, true, true, true, 13},
        SingleRelayCase{"VPMon002", "2003-11-20", OptionsLayout::G, true, false, true, 13},
        // Not in the layout table: only OK and Cancel, and what every model has is sent.
        SingleRelayCase{"TQAMO001", "2010-01-08", OptionsLayout::None, false, true, false, 6}));

// The session keeps the event loop running while it waits for each reply. A second OK, an
// Enter or an Escape meanwhile must neither start a second sequence inside the first (its
// commands and replies would interleave) nor close the dialog under it.
TEST_F(OptionsAgainstSimulator, OkEnterAndEscapeWhileOkSendsAreIgnored) {
  Connect("KRFMON03", "2010-01-08");
  TdlgOptions dialog(&forwarders_);
  const auto showFilled = [&] {
    dialog.SetDeviceEnabled(true, monitor_.ModelId(), monitor_.FirmwareDate());
    dialog.Fill(ReadAll());
    dialog.show();
  };
  showFilled();
  test::ModalWatcher boxes;
  bool lockedWhileSending = false;
  // Fires in the first wait for a reply, inside the first OK.
  QTimer::singleShot(0, &dialog, [&] {
    lockedWhileSending =
        dialog.Sending() && !dialog.OKBtn->isEnabled() && !dialog.grpbxAlarmSettings->isEnabled();
    QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
    QTest::keyClick(&dialog, Qt::Key_Return);
    QTest::keyClick(&dialog, Qt::Key_Escape);
  });
  const size_t mark = Mark();
  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  const Commands sent = Since(mark);
  EXPECT_TRUE(lockedWhileSending);
  EXPECT_EQ(boxes.Count(), 0) << boxes.Text().toStdString();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_TRUE(dialog.OKBtn->isEnabled());

  // One undisturbed OK of the same settings sends the same sequence.
  showFilled();
  const size_t again = Mark();
  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  EXPECT_EQ(sent, Since(again));
  ExpectNoUnsupportedCommand();
}

class DualRelayAgainstSimulator : public OptionsAgainstSimulator {
 protected:
  // The main window's sequence after the dual-relay dialog closed.
  void SendIfAccepted(TdlgOptionsDualRelay& dialog) {
    if (dialog.result() != QDialog::Accepted) return;
    SendDualRelaySettings(dialog.ReadSettings(), forwarders_,
                          [this](uint16_t gains) { monitor_.WriteDACGains(gains); });
  }
};

TEST_F(DualRelayAgainstSimulator, OkSendsBothRelaysAndTheGainsLast) {
  Connect("KRFMON04", "2010-01-08");
  const MonitorSettings read = ReadAll();
  TdlgOptionsDualRelay dialog;
  dialog.SetDeviceEnabled(true, monitor_.ModelId(), monitor_.FirmwareDate());
  dialog.Fill(read);
  dialog.show();
  dialog.chkbxRelay2Sense->toggle();
  dialog.chkbxAlarmEnable->toggle();
  dialog.cmbobxVSWRLevel->setCurrentIndex(3);
  dialog.cmbobxFwdDACGain->setCurrentIndex(dialog.cmbobxFwdDACGain->findText("2"));
  dialog.cmbobxRflDACGain->setCurrentIndex(dialog.cmbobxRflDACGain->findText("1"));
  const size_t mark = Mark();
  QTest::mouseClick(dialog.OKBtn, Qt::LeftButton);
  SendIfAccepted(dialog);

  EXPECT_EQ(Since(mark),
            (Commands{Flag('6', !read.VSWRAlarmEnable), Flag('5', read.RelaySense),
                      Flag('W', !read.Relay2Sense), InvertedFlag('O', read.LatchAlarm),
                      InvertedFlag('U', read.AlarmAtPowerUp), Flag('&', read.PushToTalkEnable),
                      PushToTalkDelay(read.PushToTalkDelay), "93", "Q", "L", "D", "J21"}));
  const MonitorSettings now = ReadAll();
  EXPECT_EQ(now.Relay2Sense, !read.Relay2Sense);
  EXPECT_EQ(now.FwdDACGain, 2);
  EXPECT_EQ(now.RflDACGain, 1);
  ExpectNoUnsupportedCommand();
}

TEST_F(DualRelayAgainstSimulator, CancelAfterChangesSendsNothing) {
  Connect("KRFMON04", "2010-01-08");
  const MonitorSettings read = ReadAll();
  TdlgOptionsDualRelay dialog;
  dialog.SetDeviceEnabled(true, monitor_.ModelId(), monitor_.FirmwareDate());
  dialog.Fill(read);
  dialog.show();
  dialog.chkbxRelay2Sense->toggle();
  dialog.cmbobxFwdDACGain->setCurrentText("8");
  const size_t mark = Mark();
  QTest::mouseClick(dialog.CancelBtn, Qt::LeftButton);
  SendIfAccepted(dialog);
  test::ProcessFor(std::chrono::milliseconds(100));
  EXPECT_TRUE(Since(mark).empty());
  EXPECT_EQ(ReadAll().Relay2Sense, read.Relay2Sense);
}

}  // namespace
}  // namespace vemo
