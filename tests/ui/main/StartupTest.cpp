// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up from the settings file, connecting, and what closing writes back.
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include <climits>
#include <clocale>
#include <cstdio>

#include "platform/ProfileFile.h"
#include "serial/ComPort.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/main/WindowPlacement.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo::test {
namespace {

using StartupTest = MainWindowTest;

QRect Screen() {
  return QGuiApplication::primaryScreen()->geometry();
}

TEST_F(StartupTest, WithoutSettingsFileTheWindowOpensWithDefaults) {
  // No file at all: port 1 is whatever /dev/ttyS0 is here, so only the defaults count.
  TFormMain& f = Open();
  EXPECT_EQ(f.pos(), QPoint(50, 5));
  EXPECT_EQ(f.ComObj().ComNumber(), 1);
  EXPECT_FALSE(f.MeterShown());
  EXPECT_EQ(f.cmboRangeList->currentText(), "1200 Watts");
  EXPECT_EQ(f.lblMeterUnit->text(), "(W)");
  EXPECT_EQ(f.ClientWidth(), 301);
  EXPECT_EQ(f.ClientHeight(), 233);
  EXPECT_LE(messages.size(), 1u);
  // The read-outs show the reading of zeros.
  EXPECT_EQ(f.Edit_VSWR->text().trimmed(), "99.99");
  EXPECT_EQ(f.editDBM->text().trimmed(), "0.0");
}

TEST_F(StartupTest, WindowOutsideTheScreenIsCentred) {
  const QRect screen = Screen();
  const int fitsTop = screen.height() - 417 - 1;  // the height with the meter decides
  const int fitsLeft = screen.width() - 301 - 1;
  const int centreY = screen.height() / 2 - 417 / 2;
  const int centreX = screen.width() / 2 - 301 / 2;
  struct Row {
    int top, left;
    QPoint expected;
  };
  const Row rows[] = {
      {fitsTop, fitsLeft, {fitsLeft, fitsTop}},
      {fitsTop + 1, 50, {50, centreY}},
      {5000, 50, {50, centreY}},
      {5, fitsLeft + 1, {centreX, 5}},
      {5, 9999, {centreX, 5}},
  };
  StartSim();
  for (const Row& row : rows) {
    ProfileFile ini(iniPath);
    ini.WriteInteger("Window", "Top", row.top);
    ini.WriteInteger("Window", "Left", row.left);
    TFormMain& f = Open();
    EXPECT_EQ(f.pos(), row.expected) << "Top " << row.top << " Left " << row.left;
    form.reset();
  }
}

TEST(MainWindowPlacement, AWindowOffEveryScreenComesBackOntoThePrimaryOne) {
  const QSize size(301, 417);
  const QRect primary(0, 0, 1280, 1024);
  const QRect leftScreen(-1920, 0, 1920, 1080);
  const int centreX = 640 - 150, centreY = 512 - 208;
  struct Row {
    int left, top;
    QList<QRect> screens;
    QPoint expected;
  };
  const Row rows[] = {
      {50, 5, {primary}, {50, 5}},
      {-3000, 5, {primary}, {centreX, 5}},
      {50, -3000, {primary}, {50, centreY}},
      {-3000, -3000, {primary}, {centreX, centreY}},
      {-290, 5, {primary}, {centreX, 5}},  // only a sliver of the title bar would show
      {-250, 5, {primary}, {-250, 5}},
      // A screen left of the primary one keeps the window it holds; once it is gone, the
      // window comes back.
      {-1500, 100, {primary, leftScreen}, {-1500, 100}},
      {-1500, 100, {primary}, {centreX, 100}},
      {INT_MAX, INT_MAX, {primary}, {centreX, centreY}},
      {INT_MIN, INT_MIN, {primary}, {centreX, centreY}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(MainWindowPosition(row.left, row.top, size, primary, row.screens), row.expected)
        << "Left " << row.left << " Top " << row.top << " on " << row.screens.size()
        << " screen(s)";
  }
}

TEST_F(StartupTest, WindowStoredOffScreenOpensOnTheScreenAndIsSavedThere) {
  const QRect screen = Screen();
  StartSim();
  for (const char* left : {"-3000", "0x7FFFFFFF"}) {
    ProfileFile(iniPath).WriteString("Window", "Left", left);
    TFormMain& f = Open();
    EXPECT_EQ(f.pos(), QPoint(screen.width() / 2 - 301 / 2, 5)) << "Left " << left;
    CloseWindow();
    const int saved = ProfileFile(iniPath).ReadInteger("Window", "Left", 0);
    EXPECT_TRUE(saved >= 0 && saved + 301 <= screen.width()) << "saved Left " << saved;
  }
}

TEST_F(StartupTest, PortNumberOutOfRangeReadsAsTheDefaultAndIsSavedSo) {
  StartSim();
  for (const char* stored : {"-5", "65536", "0x7FFFFFFF"}) {
    ProfileFile(iniPath).WriteString("Communication", "ComPort", stored);
    TFormMain& f = Open();
    EXPECT_EQ(f.ComObj().ComNumber(), 1) << stored;
    EXPECT_TRUE(f.Connected()) << stored;
    CloseWindow();
    EXPECT_EQ(ProfileFile(iniPath).ReadString("Communication", "ComPort", ""), "1") << stored;
  }
}

TEST_F(StartupTest, ASettingWithACommentAfterItKeepsItsDefaultAndSaysWhere) {
  StartSim();
  AddSettings("[Meter]\nRange=14 ; AutoRange\n");
  TFormMain& f = Open();
  EXPECT_EQ(f.cmboRangeList->currentIndex(), 5);
  EXPECT_TRUE(f.StatusText().contains(
      "line 6, [Meter] Range: \"14 ; AutoRange\" is not a whole number (a comment"))
      << f.StatusText().toStdString();
}

TEST_F(StartupTest, StoredRangeSelectsItemAndDialScale) {
  struct Row {
    int stored;
    int item;
    int scale;
    const char* unit;
  };
  const Row rows[] = {
      {14, 14, 0, "(W)"},  // AutoRange settles on 30 W for the zeros shown at start
      {99, -1, 0, "(W)"},  // nothing selected: the 30 W scale
      {-1, -1, 0, "(W)"}, {0, 0, 0, "(W)"},     {5, 5, 5, "(W)"},
      {6, 6, 6, "(KW)"},  {13, 13, 13, "(KW)"},
  };
  StartSim();
  for (const Row& row : rows) {
    ProfileFile(iniPath).WriteInteger("Meter", "Range", row.stored);
    TFormMain& f = Open();
    EXPECT_EQ(f.cmboRangeList->currentIndex(), row.item) << "Range " << row.stored;
    EXPECT_EQ(CurrentRange, row.scale) << "Range " << row.stored;
    EXPECT_EQ(f.dcMeter->MaxValue(), MeterScale(row.scale).FullScale) << "Range " << row.stored;
    EXPECT_EQ(f.lblMeterUnit->text().toStdString(), row.unit) << "Range " << row.stored;
    CloseWindow();
    // What was read is written back; nothing selected is -1.
    EXPECT_EQ(ProfileFile(iniPath).ReadInteger("Meter", "Range", 1234), row.item);
  }
}

TEST_F(StartupTest, VisibleMeterLiesAboveTheDigitsAndCountsInTheHeight) {
  StartSim();
  AddSettings("[Meter]\nVisible=1\n");
  TFormMain& f = Open();
  f.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
  EXPECT_TRUE(f.MeterShown());
  EXPECT_EQ(f.Panel1->pos(), QPoint(2, 2));
  EXPECT_EQ(f.Panel_Display->pos(), QPoint(2, 182 + 5));
  EXPECT_EQ(f.centralWidget()->size(), QSize(301, 229 + 182 + 6));
  EXPECT_EQ(f.minimumSize(), f.maximumSize()) << "the window has a fixed size";
}

TEST_F(StartupTest, HexadecimalPortNumberIsReadAndConnects) {
  const std::string device = sim.Start({"--noise", "0"});
  AddSettings("[Ports]\nCOM16=" + device + "\n[Communication]\nComPort=0x10\n");
  TFormMain& f = Open();
  EXPECT_EQ(f.ComObj().ComNumber(), 16);
  EXPECT_TRUE(f.Connected());
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(Commands(), std::vector<std::string>{"I"});
}

TEST_F(StartupTest, PortTheUserMayNotOpenTellsHowToGetAccess) {
  // A read-only kernel setting refuses a read-write open even to root, as a tty does to a
  // user outside its group.
  AddSettings("[Ports]\nCOM5=/proc/sys/kernel/ostype\n[Communication]\nComPort=5\n");
  TFormMain& f = Open();
  ASSERT_EQ(MessageTexts().size(), 1u);
  EXPECT_NE(MessageTexts()[0].find("dialout"), std::string::npos) << MessageTexts()[0];
  EXPECT_FALSE(f.Connected());
}

TEST_F(StartupTest, AMappedDeviceThatDoesNotExistIsNamedWithWhatToDo) {
  const std::string missing = dir.filePath("no-such-device").toStdString();
  AddSettings("[Ports]\nCOM5=" + missing + "\n[Communication]\nComPort=5\n");
  TFormMain& f = Open();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Cannot open COM5 (" + missing +
                                                     "): the device does not exist. Check that "
                                                     "the monitor is plugged in and that the "
                                                     "port or path is right."});
  EXPECT_FALSE(f.Connected());
}

TEST_F(StartupTest, PortHeldByAnotherProgramIsReportedOnceAndTheWindowOpens) {
  StartSim();
  QProcess holder;
  holder.start(QStringLiteral("flock"), {QString::fromStdString(sim.DevicePath()),
                                         QStringLiteral("sleep"), QStringLiteral("60")});
  ASSERT_TRUE(holder.waitForStarted());
  QTest::qWait(300);  // flock has the lock once it runs sleep
  TFormMain& f = Open();
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Port is already open. Try another port."});
  EXPECT_FALSE(f.Connected());
  EXPECT_FALSE(f.ComObj().Open());
  holder.kill();
  holder.waitForFinished();
}

TEST_F(StartupTest, MonitorWithUnknownIdentificationLeavesTheWindowUnconnected) {
  StartSim({"--model", "ACMEMON1"});
  TFormMain& f = Open();
  EXPECT_FALSE(f.Connected());
  EXPECT_TRUE(messages.empty());
  // The next reading connects again first.
  TriggerAndWait();
  EXPECT_EQ(CountCommand("I"), 2u);
}

TEST_F(StartupTest, NumbersUseThePointWhateverTheUsersLocale) {
  if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no German locale installed";
  QLocale::setDefault(QLocale(QLocale::German));
  StartSim({"--forward", "100", "--reflected", "1", "--full-scale", "625"});
  TFormMain& f = Open();
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", 1.5);
  EXPECT_STREQ(text, "1.5");
  EXPECT_EQ(QLocale().toString(1.5), "1.5");
  TriggerAndWait();
  ExpectWorkedExample(f);
  std::setlocale(LC_ALL, "C");
}

TEST_F(StartupTest, ClosingWritesTheSettingsInOrderAndKeepsOtherKeys) {
  StartSim();
  AddSettings("[Custom]\nKeep=me\n");
  TFormMain& f = Open();
  f.move(120, 80);
  f.mnuViewMeter->trigger();
  f.cmboRangeList->setCurrentIndex(9);
  Q_EMIT f.cmboRangeList->activated(9);
  CloseWindow();

  const ProfileFile ini(iniPath);
  EXPECT_EQ(ini.ReadInteger("Communication", "ComPort", 0), 1);
  EXPECT_TRUE(ini.ReadBool("Meter", "Visible", false));
  EXPECT_EQ(ini.ReadInteger("Meter", "Range", 0), 9);
  EXPECT_EQ(ini.ReadInteger("Window", "Top", 0), 80);
  EXPECT_EQ(ini.ReadInteger("Window", "Left", 0), 120);
  EXPECT_EQ(ini.ReadString("Custom", "Keep", ""), "me");
  EXPECT_EQ(ini.ReadString("Ports", "COM1", ""), sim.DevicePath());
  // Keys that were missing are added in the order they are written.
  const std::string text = SettingsText();
  EXPECT_LT(text.find("Visible="), text.find("Range="));
  EXPECT_LT(text.find("Range="), text.find("[Window]"));
  EXPECT_LT(text.find("Top="), text.find("Left="));
  EXPECT_TRUE(messages.empty());
}

TEST_F(StartupTest, UnwritableSettingsFileIsReportedOnceAndTheWindowStillCloses) {
  StartSim();
  TFormMain& f = Open();
  // The settings file turns into a folder with something in it: it cannot be replaced.
  ASSERT_TRUE(QFile::remove(QString::fromStdString(iniPath)));
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(iniPath + "/inside")));
  EXPECT_TRUE(f.close());
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unable to write to " + iniPath});
  EXPECT_EQ(f.Monitor(), nullptr);
  EXPECT_EQ(f.CmdList(), nullptr);
  EXPECT_FALSE(f.ComObj().Open());
}

}  // namespace
}  // namespace vemo::test
