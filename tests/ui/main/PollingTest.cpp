// SPDX-License-Identifier: GPL-3.0-or-later
// The polling tick against the simulated monitor: single and continuous readings, the
// failure rules, the command queue, alarm reset, raw mode, calibration steps, shortcuts
// and closing while an exchange runs.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "platform/ProfileFile.h"
#include "serial/ComPort.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/main/MainStyle.h"

namespace vemo::test {
namespace {

using PollingTest = MainWindowTest;

// Receive times (ms) of every command equal to text.
std::vector<int64_t> Times(const SimProcess& sim, const std::string& text) {
  std::vector<int64_t> times;
  for (const TranscriptEntry& e : sim.Transcript())
    if (e.dir == "rx" && e.text == text) times.push_back(e.tMs);
  return times;
}

const std::vector<std::string> kWorkedExample = {"--forward", "100",          "--reflected",
                                                 "1",         "--full-scale", "625"};

TEST_F(PollingTest, TriggeredReadingShowsEveryReadout) {
  StartSim(kWorkedExample);
  TFormMain& f = Open();
  ASSERT_TRUE(f.Connected());
  TriggerAndWait();
  ExpectWorkedExample(f);
  EXPECT_EQ(Commands(), (std::vector<std::string>{"I", "7", "T"}));
  EXPECT_EQ(IndicatorColour(f.pnlRS232), ButtonFace());
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), ButtonFace());
  EXPECT_FALSE(f.Continuous());
  EXPECT_TRUE(messages.empty());
}

TEST_F(PollingTest, ContinuousPollingKeepsItsPeriodUntilTriggerStopsIt) {
  StartSim();
  TFormMain& f = Open();
  f.spdbtnContinuous->click();
  ASSERT_TRUE(WaitUntil([&] { return Times(sim, "7").size() >= 6; }));
  EXPECT_TRUE(f.Continuous());
  EXPECT_TRUE(f.mnuCommands_R->isChecked());
  EXPECT_TRUE(f.spdbtnContinuous->isChecked());

  // One reading per tick: the next one starts an interval after the last one ended.
  const std::vector<int64_t> starts = Times(sim, "7");
  for (size_t i = 1; i < starts.size(); ++i) {
    EXPECT_GE(starts[i] - starts[i - 1], 500 - 2) << "reading " << i;
    EXPECT_LT(starts[i] - starts[i - 1], 900) << "reading " << i;
  }

  f.spdbtnTrigger->click();
  EXPECT_FALSE(f.Continuous());
  EXPECT_FALSE(f.spdbtnContinuous->isChecked());
  EXPECT_FALSE(f.mnuCommands_R->isChecked());
  EXPECT_EQ(f.CmdList()->Count(), 0) << "stopping queues no reading";
  ASSERT_TRUE(WaitUntil([&] { return !f.TickRunning(); }));
  const size_t readings = CountCommand("T");
  QTest::qWait(1200);
  EXPECT_EQ(CountCommand("T"), readings);
  // Trigger again: one reading.
  TriggerAndWait();
  EXPECT_EQ(CountCommand("T"), readings + 1);
  EXPECT_TRUE(messages.empty());
}

TEST_F(PollingTest, ContinuousButtonWhileRunningReleasesButDoesNotStop) {
  StartSim();
  TFormMain& f = Open();
  f.spdbtnContinuous->click();
  ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
  f.spdbtnContinuous->click();
  EXPECT_FALSE(f.spdbtnContinuous->isChecked());
  EXPECT_TRUE(f.Continuous());
  EXPECT_EQ(f.CmdList()->Count(), 0);
}

TEST_F(PollingTest, ThreeFailuresPassSilentlyAndTheFourthStopsWithItsMessage) {
  // Identification and one reading ("7", "T") are answered, then the monitor falls silent.
  StartSim({"--stop-after", "3"});
  SpeedUpReplies(8);
  TFormMain& f = Open();
  std::vector<int32_t> countAtMessage;
  onMessage = [&](const ShownMessage&) { countAtMessage.push_back(f.CommFailCount()); };
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
  ASSERT_TRUE(WaitUntil([&] { return !f.Continuous(); }, std::chrono::seconds(25)));
  ASSERT_EQ(MessageTexts().size(), 1u);
  // The monitor's words, then the port, its device and what to check.
  EXPECT_EQ(MessageTexts()[0].rfind(
                "Timeout\nNo answer from the monitor on COM1 (" + sim.DevicePath() + ") ", 0),
            0u)
      << MessageTexts()[0];
  EXPECT_EQ(countAtMessage, std::vector<int32_t>{4});
  EXPECT_TRUE(f.ReadoutsStale());
  EXPECT_FALSE(f.spdbtnContinuous->isChecked());
  EXPECT_EQ(IndicatorColour(f.pnlRS232), ButtonFace());
  EXPECT_TRUE(f.Connected());

  // Restarting does not reconnect and stops at the first failure, with its message.
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
  ASSERT_TRUE(WaitUntil([&] { return !f.Continuous(); }, std::chrono::seconds(8)));
  ASSERT_EQ(MessageTexts().size(), 2u);
  EXPECT_EQ(MessageTexts()[1], MessageTexts()[0]);
  EXPECT_EQ(countAtMessage.back(), 5);
  EXPECT_EQ(CountCommand("I"), 1u);
}

TEST_F(PollingTest, ReadoutsAreGreyAfterAFailedReadingUntilTheNextGoodOne) {
  // The monitor on COM1 answers identification and one reading, then falls silent.
  StartSim({"--stop-after", "3"});
  SimProcess second;
  ProfileFile(iniPath).WriteString("Ports", "COM2", second.Start({"--noise", "0"}));
  TFormMain& f = Open();
  const QList<QLineEdit*> readouts = {f.Edit_Forward_Power,
                                      f.Edit_Reverse_Power,
                                      f.Edit_VSWR,
                                      f.Edit_Return_Loss,
                                      f.Edit_Rho,
                                      f.Edit_Transmited_Power,
                                      f.editDBM,
                                      f.editDBm1,
                                      f.Edit_PEP};  // the peak greys with the others
  const auto expectColour = [&](bool stale, const char* when) {
    for (QLineEdit* edit : readouts) {
      edit->ensurePolished();
      EXPECT_EQ(edit->palette().color(QPalette::Text), ReadoutTextColour(stale))
          << edit->objectName().toStdString() << " " << when;
    }
  };
  expectColour(true, "before the first reading");  // zeros, not a measurement
  TriggerAndWait();
  expectColour(false, "after a good reading");
  const QString lastGood = f.Edit_Forward_Power->text();

  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages.empty() && !f.TickRunning(); }));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Timeout"});
  EXPECT_EQ(f.Edit_Forward_Power->text(), lastGood);
  expectColour(true, "after the failed reading");

  ASSERT_TRUE(f.ChangeComPort(2));
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<std::string> c = second.ReceivedCommands();
    return std::count(c.begin(), c.end(), "T") == 1 && !f.TickRunning() && !f.ReadoutsStale();
  })) << (messages.empty() ? "" : messages.back().text);
  expectColour(false, "after the next good reading");
}

TEST_F(PollingTest, LineBytesInAMessageAreEscapedNotDecoded) {
  // Ten bytes of UTF-8 before "P=": the nine read hold no prefix and are quoted.
  StartSim({"--stray-prefix", "\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9\xc3\xa9"});
  TFormMain& f = Open();
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages.empty() && !f.TickRunning(); }));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unexpected result\\xC3\\xA9\\xC3\\xA9"
                                                     "\\xC3\\xA9\\xC3\\xA9\\xC3 in Command7."});
}

TEST_F(PollingTest, PortFailureStopsContinuousPollingAtOnce) {
  StartSim();
  TFormMain& f = Open();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 2; }));
  sim.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return !f.Continuous(); }, std::chrono::seconds(12)));
  // The device went away: the status area says so (no box, which would hold up the
  // resumption), and no retried time-out is reported.
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(f.lblConnection->text(), "COM1  device lost");
  // At most the exchange that was under way when the line dropped timed out.
  EXPECT_LE(f.CommFailCount(), 1);
  EXPECT_FALSE(f.spdbtnContinuous->isChecked());
}

// The simulator behind a fixed link that COM1 names, as a USB adapter's node would be.
class LostDeviceTest : public PollingTest {
 protected:
  void SetUp() override {
    PollingTest::SetUp();
    link = dir.filePath(QStringLiteral("ttyVEMO")).toStdString();
    StartAt(sim);
    AddSettings("[Ports]\nCOM1=" + link + "\n[Communication]\nComPort=1\n");
  }
  void StartAt(SimProcess& process) {
    std::vector<std::string> args = kWorkedExample;
    args.insert(args.end(), {"--noise", "0", "--link", link});
    process.Start(args);
  }
  static size_t Count(const SimProcess& process, const std::string& command) {
    const std::vector<std::string> commands = process.ReceivedCommands();
    return size_t(std::count(commands.begin(), commands.end(), command));
  }
  std::string link;
  SimProcess back;  // the device plugged in again
};

TEST_F(LostDeviceTest, TriggerReachesTheMonitorAgainOnceItsDeviceIsBack) {
  TFormMain& f = Open();
  ASSERT_TRUE(f.Connected());
  sim.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return f.ComObj().DeviceLost() || f.WaitingForDevice(); }));
  StartAt(back);
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Count(back, "T") == 1 && !f.TickRunning(); }));
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(back.ReceivedCommands(), (std::vector<std::string>{"I", "7", "T"}));
  ExpectWorkedExample(f);
  EXPECT_EQ(f.lblConnection->text(), "COM1  KRFMON03");
}

TEST_F(LostDeviceTest, DeviceLostWhileIdleIsShownAndReconnectedWithoutPolling) {
  TFormMain& f = Open();
  f.mnuCommands_T->trigger();
  ASSERT_TRUE(WaitUntil([&] { return Count(sim, "T") == 1 && !f.TickRunning(); }));
  EXPECT_FALSE(f.ReadoutsStale());
  sim.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return f.lblConnection->text() == "COM1  device lost"; }));
  EXPECT_TRUE(f.ReadoutsStale()) << "the last reading is not the monitor's present state";
  EXPECT_FALSE(f.Connected());
  EXPECT_TRUE(f.WaitingForDevice());

  StartAt(back);
  ASSERT_TRUE(WaitUntil([&] { return f.Connected(); }, std::chrono::seconds(10)));
  EXPECT_EQ(f.lblConnection->text(), "COM1  reconnected");
  EXPECT_FALSE(f.Continuous()) << "it was not polling before";
  EXPECT_EQ(back.ReceivedCommands(), (std::vector<std::string>{"I"}));
  EXPECT_TRUE(messages.empty());
}

TEST_F(LostDeviceTest, ContinuousPollingResumesByItselfWhenTheDeviceComesBack) {
  TFormMain& f = Open();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 1; }));
  sim.HangUp();
  ASSERT_TRUE(WaitUntil([&] { return !f.Continuous(); }, std::chrono::seconds(12)));
  EXPECT_TRUE(f.WaitingForDevice());
  EXPECT_FALSE(f.ComObj().Open()) << "the lost device's node is let go";
  QTest::qWait(1500);
  EXPECT_TRUE(f.WaitingForDevice()) << "nothing to reconnect to yet";

  StartAt(back);
  ASSERT_TRUE(
      WaitUntil([&] { return f.Continuous() && Count(back, "T") >= 2; }, std::chrono::seconds(15)));
  EXPECT_EQ(back.ReceivedCommands().front(), "I");
  EXPECT_EQ(f.lblConnection->text(), "COM1  reconnected");
  EXPECT_TRUE(f.spdbtnContinuous->isChecked());
  EXPECT_FALSE(f.WaitingForDevice());
  EXPECT_TRUE(messages.empty());
  ExpectWorkedExample(f);
}

TEST_F(PollingTest, RepeatedCommandsQueueOnceAndAFullQueueIsReported) {
  StartSim();
  TFormMain& f = Open();
  f.Timer1->stop();  // nothing is carried out: the queue only fills
  for (int i = 0; i < 3; ++i) f.mnuCommandsReset->trigger();
  EXPECT_EQ(f.CmdList()->Count(), 1);
  for (int i = 1; i < 50; ++i) (i % 2 ? f.mnuCommands_T : f.mnuCommandsReset)->trigger();
  ASSERT_EQ(f.CmdList()->Count(), 50);
  EXPECT_TRUE(messages.empty());
  f.mnuViewOptions->trigger();  // a distinct command
  f.mnuCommands_T->trigger();   // a repeat of the last one
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{"Command buffer is full.", "Command buffer is full."}));
  EXPECT_EQ(f.CmdList()->Count(), 50);
}

TEST_F(PollingTest, MenuShortcutsWinOverTheFocusedDbmBoxDuringASlowExchange) {
  StartSim({"--delay-ms", "600"});
  TFormMain& f = Open();
  f.show();
  f.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
  f.editDBM->setFocus();
  QApplication::clipboard()->setText(QStringLiteral("untouched"));

  QTest::keyClick(f.editDBM, Qt::Key_T, Qt::ControlModifier);
  EXPECT_EQ(f.CmdList()->Count(), 1);
  int queued = -1;
  DuringExchange("T", [&] {
    for (int i = 0; i < 3; ++i) QTest::keyClick(f.editDBM, Qt::Key_A, Qt::ControlModifier);
    queued = f.CmdList()->Count();
  });
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("A") == 1 && CountCommand("T") == 2; },
                        std::chrono::seconds(12)));
  ASSERT_TRUE(WaitUntil([&] { return !f.TickRunning() && f.CmdList()->Count() == 0; }));
  EXPECT_EQ(queued, 1) << "Ctrl+A three times during the exchange queues one reset";
  EXPECT_EQ(CountCommand("A"), 1u);
  EXPECT_TRUE(f.editDBM->selectedText().isEmpty()) << "Ctrl+A did not select the text";

  QTest::keyClick(f.editDBM, Qt::Key_C, Qt::ControlModifier);
  ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("untouched"));
  EXPECT_TRUE(f.editDBM->hasFocus());
}

TEST_F(PollingTest, AlarmResetIsFollowedByAReadingThatShowsTheNewState) {
  // Latching alarms (status bit 6 clear), VSWR alarm on at level 2.0.
  StartSim({"--status", "0088", "--forward", "100", "--reflected", "30"});
  TFormMain& f = Open();
  TriggerAndWait();
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), AlarmRed());
  sim.SetReflected(1);
  TriggerAndWait();
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), AlarmRed()) << "the latched alarm holds";

  f.mnuCommandsReset->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") == 3 && !f.TickRunning(); }));
  EXPECT_EQ(IndicatorColour(f.pnlAlarm), ButtonFace());
  const std::vector<std::string> commands = Commands();
  EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
            (std::vector<std::string>{"A", "7", "T"}));
  // The monitor gets half a second after the reset before it is read.
  EXPECT_GE(Times(sim, "7").back() - Times(sim, "A").back(), 500 - 2);
}

TEST_F(PollingTest, ReadingInRawModeSwitchesRawModeOffAndReadsAgain) {
  StartSim(kWorkedExample);
  TFormMain& f = Open();
  f.ComObj().SendChar('Z');  // someone left the monitor in raw mode
  ASSERT_TRUE(sim.WaitForTranscript([](const std::vector<TranscriptEntry>& t) {
    return !t.empty() && t.back().dir == "tx" && t.back().cmd == "Z";
  }));
  TriggerAndWait();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") == 3 && !f.TickRunning(); }));
  EXPECT_EQ(Commands(), (std::vector<std::string>{"I", "Z", "7", "T", "T", "Z", "7", "T"}));
  ExpectWorkedExample(f);
}

TEST_F(PollingTest, CalibrationStepsPromptTheOperatorAndResumePollingSlower) {
  StartSim({"--full-scale", "625"});
  TFormMain& f = Open();
  struct Row {
    QAction* item;
    const char* command;
    std::string prompt;
  };
  const Row rows[] = {
      {f.mnuCalZero, "0", "Disconnect RF power now. (Ok when ready)\r"},
      {f.mnuCalForward, "1", "Connect    100.00 W in forward direction. (Ok when ready)\r"},
      {f.mnuCalReflected, "2", "Connect    10.000 W in reflected direction. (Ok when ready)\r"},
  };
  for (const Row& row : rows) {
    messages.clear();
    row.item->trigger();
    ASSERT_TRUE(WaitUntil([&] { return CountCommand(row.command) == 1 && !f.TickRunning(); }));
    ASSERT_EQ(messages.size(), 1u) << row.command;
    EXPECT_EQ(messages[0].text, row.prompt);
    EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
    EXPECT_EQ(messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  }
  EXPECT_EQ(f.Timer1->interval(), 500) << "polling was off: the period stays";

  // With continuous polling on, a step suspends it and it resumes at 750 ms.
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return f.Continuous(); }));
  f.mnuCalZero->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("0") == 2; }));
  ASSERT_TRUE(WaitUntil([&] { return Times(sim, "7").size() >= 10 && f.Continuous(); }));
  EXPECT_EQ(f.Timer1->interval(), 750);
  const std::vector<int64_t> starts = Times(sim, "7");
  EXPECT_GE(starts.back() - starts[starts.size() - 2], 750 - 2);
}

TEST_F(PollingTest, CalibrationErrorAsksAgainWithTheErrorText) {
  StartSim({"--calibration-error"});
  TFormMain& f = Open();
  answers = {QMessageBox::Ok, QMessageBox::Cancel};
  f.mnuCalZero->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("Q") == 1 && !f.TickRunning(); }));
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[1].text,
            "The SWR monitor returned an error while attempting\rthe calibration.\r"
            "Disconnect RF power now. (Ok when ready)\r");
  const std::vector<std::string> commands = Commands();
  EXPECT_EQ(std::vector<std::string>(commands.end() - 3, commands.end()),
            (std::vector<std::string>{"0", "Y", "Q"}));
}

TEST_F(PollingTest, FullReceiveBufferDuringANotificationLeavesTheNextReadingClean) {
  StartSim(kWorkedExample);
  TFormMain& f = Open();
  TBuffer& buffer = f.Monitor()->RxBuffer();
  while (buffer.Count() < TBuffer::Capacity) buffer.Put('x');
  f.ComObj().SendChar('I');  // an unrequested reply arrives with nobody reading
  ASSERT_TRUE(sim.WaitForTranscript([](const std::vector<TranscriptEntry>& t) {
    return t.size() >= 4 && t.back().dir == "tx" && t.back().cmd == "I";
  }));
  ASSERT_TRUE(WaitUntil([&] { return buffer.Count() < TBuffer::Capacity; }));
  TriggerAndWait();
  ExpectWorkedExample(f);
  EXPECT_TRUE(messages.empty());
}

TEST_F(PollingTest, ChangingThePortReportsWhatCannotBeOpened) {
  StartSim();
  ProfileFile(iniPath).WriteString("Ports", "COM7", "/nonexistent/ttyVEMO7");
  TFormMain& f = Open();
  ASSERT_TRUE(f.ComObj().Open());
  EXPECT_FALSE(f.ChangeComPort(1)) << "the port in use";
  EXPECT_TRUE(f.ComObj().Open());
  EXPECT_TRUE(messages.empty());

  EXPECT_FALSE(f.ChangeComPort(7));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to open comm port 7."});
  EXPECT_EQ(f.ComObj().ComNumber(), 1);
  EXPECT_FALSE(f.ComObj().Open());

  // A system error rather than one of the port's own puts the old number back as well.
  ProfileFile(iniPath).WriteString("Ports", "COM8", dir.path().toStdString());
  messages.clear();
  EXPECT_FALSE(f.ChangeComPort(8));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to open comm port 8."});
  EXPECT_EQ(f.ComObj().ComNumber(), 1);
}

TEST_F(PollingTest, ClosingDuringAnExchangeWaitsForItToEnd) {
  StartSim({"--delay-ms", "1000"});
  TFormMain& f = Open();
  f.show();
  f.mnuCommands_T->trigger();
  bool closed = true;
  bool sessionKept = false;
  DuringExchange("7", [&] {
    closed = f.close();
    sessionKept = f.Monitor() != nullptr;
  });
  ASSERT_TRUE(WaitUntil([&] { return f.Monitor() == nullptr; }));
  EXPECT_TRUE(ranDuringTick);
  EXPECT_FALSE(closed) << "the close is put off";
  EXPECT_TRUE(sessionKept);
  EXPECT_EQ(CountCommand("T"), 1u) << "the reading ran to its end";
  EXPECT_FALSE(f.isVisible());
  EXPECT_FALSE(f.ComObj().Open());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(SettingsText().find("Range=5") != std::string::npos, true);
}

TEST_F(PollingTest, ExitDuringAnExchangeClosesThePortAfterIt) {
  StartSim({"--delay-ms", "1000"});
  TFormMain& f = Open();
  f.show();
  f.mnuCommands_R->trigger();
  bool portKept = false;
  DuringExchange("7", [&] {
    f.mnuFileExit->trigger();
    portKept = f.ComObj().Open();
  });
  ASSERT_TRUE(WaitUntil([&] { return f.Monitor() == nullptr; }));
  EXPECT_TRUE(portKept) << "the exchange still has its port";
  EXPECT_EQ(CountCommand("T"), 1u) << "the reading ran to its end";
  EXPECT_FALSE(f.ComObj().Open());
  EXPECT_FALSE(f.isVisible());
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace vemo::test
