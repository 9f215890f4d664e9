// SPDX-License-Identifier: GPL-3.0-or-later
// The dialogs the menu opens from the polling tick: monitor options (single- and
// dual-relay), the port dialog and the calibration wizard; and what every dialog and window
// offers a screen reader and the keyboard.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "monitor/DateTime.h"
#include "platform/HelpViewer.h"
#include "platform/ProfileFile.h"
#include "serial/ComPort.h"
#include "tests/ui/main/MainWindowFixture.h"
#include "ui/alarms/AlarmHistoryWindow.h"
#include "ui/alarms/AlarmSettingsDialog.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/controls/NumEdit.h"
#include "ui/dialogs/Aboutdlg.h"
#include "ui/dialogs/CalWiz.h"
#include "ui/dialogs/Comdlg.h"
#include "ui/dialogs/OptnsDlg.h"
#include "ui/dialogs/OptnsDlgDualRelay.h"
#include "ui/dialogs/SelectPort.h"
#include "ui/main/ShortcutTable.h"
#include "ui/trend/TrendWindow.h"

namespace vemo::test {
namespace {

using DialogsTest = MainWindowTest;

// The commands received after the first `skip` ones.
std::vector<std::string> After(const std::vector<std::string>& all, size_t skip) {
  return std::vector<std::string>(all.begin() + static_cast<long>(std::min(skip, all.size())),
                                  all.end());
}

TEST_F(DialogsTest, DualRelayModelGetsItsOwnDialogAndCancelWritesNothing) {
  StartSim({"--model", "KRFMON04"});
  TFormMain& f = OpenWithDialogs();
  std::string shown;
  size_t readsDone = 0;
  WhenModal([&](QDialog* dialog) {
    shown = dialog->metaObject()->className();
    readsDone = Commands().size();
    dialog->reject();
  });
  f.mnuViewOptions->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !shown.empty() && !f.TickRunning(); }));
  EXPECT_EQ(shown, "vemo::TdlgOptionsDualRelay");
  EXPECT_EQ(After(Commands(), readsDone), std::vector<std::string>{});
  // Every setting was read before the dialog opened, the analog gains last.
  EXPECT_EQ(Commands()[readsDone - 1], "K");
  EXPECT_TRUE(messages.empty());
}

TEST_F(DialogsTest, SingleRelayDialogSendsThroughTheForwarders) {
  StartSim({"--model", "KRFMON03"});
  TFormMain& f = OpenWithDialogs();
  struct Row {
    int levelItem;
    bool levelSent;
  };
  for (const Row row : {Row{5, true}, Row{-1, true}}) {
    std::string shown;
    size_t readsDone = 0;
    WhenModal([&](QDialog* dialog) {
      shown = dialog->metaObject()->className();
      readsDone = Commands().size();
      auto* options = static_cast<TdlgOptions*>(dialog);
      options->cmbobxVSWRLevel->setCurrentIndex(row.levelItem);
      options->OKBtn->click();
    });
    f.mnuViewOptions->trigger();
    ASSERT_TRUE(WaitUntil([&] { return !shown.empty() && !f.TickRunning(); }));
    EXPECT_EQ(shown, "vemo::TdlgOptions");
    const std::vector<std::string> written = After(Commands(), readsDone);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front().substr(0, 1), "6") << "the alarm enable goes first";
    EXPECT_EQ(std::count(written.begin(), written.end(), "95"), row.levelSent ? 1 : 0);
    EXPECT_EQ(std::count_if(written.begin(), written.end(),
                            [](const std::string& c) { return c.rfind('9', 0) == 0; }),
              row.levelSent ? 1 : 0)
        << "no level selected: the level read from the monitor goes back";
  }
  EXPECT_TRUE(messages.empty());
}

TEST_F(DialogsTest, APushToTalkDelayTheMonitorCannotHoldIsReportedAsStored) {
  StartSim({"--model", "KRFMON04"});
  TFormMain& f = OpenWithDialogs();
  const struct {
    double asked;
    std::vector<std::string> said;
  } rows[] = {
      {0.5,
       {"The push-to-talk delay was stored as 0.47 s, not 0.5 s: the monitor sets it in steps "
        "of 0.15625 s."}},
      {0.47, {}},
  };
  for (const auto& row : rows) {
    messages.clear();
    bool shown = false;
    WhenModal([&](QDialog* dialog) {
      shown = true;
      auto* options = static_cast<TdlgOptionsDualRelay*>(dialog);
      options->realedPushToTalkDelay->SetValue(row.asked);
      options->OKBtn->click();
    });
    f.mnuViewOptions->trigger();
    ASSERT_TRUE(WaitUntil([&] { return shown && !f.TickRunning(); }));
    EXPECT_EQ(MessageTexts(), row.said) << row.asked;
  }
}

TEST_F(DialogsTest, LevelForwarderWritesOnlyLevelsTheMonitorCanTake) {
  StartSim();
  TFormMain& f = Open();
  const size_t before = Commands().size();
  f.SetVSWRLevel(255);  // what "no level" becomes on its way as a byte
  f.SetVSWRLevel(13);
  f.SetVSWRLevel(12);
  EXPECT_EQ(After(Commands(), before), std::vector<std::string>{"9C"});
}

TEST_F(DialogsTest, OptionsOfAnUnconnectedMonitorAreRefusedAfterTheReads) {
  StartSim({"--model", "ACMEMON1"});
  TFormMain& f = OpenWithDialogs();
  ASSERT_FALSE(f.Connected());
  bool dialogShown = false;
  WhenModal([&](QDialog* dialog) {
    dialogShown = true;
    dialog->reject();
  });
  f.mnuViewOptions->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !messages.empty() && !f.TickRunning(); }));
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Power monitor is not connected."});
  EXPECT_FALSE(dialogShown);
}

TEST_F(DialogsTest, PortDialogReconnectsWhetherOrNotThePortChanged) {
  StartSim();
  SimProcess second;
  const std::string secondDevice = second.Start({"--model", "VPMon002", "--noise", "0"});
  ProfileFile(iniPath).WriteString("Ports", "COM2", secondDevice);
  TFormMain& f = OpenWithDialogs();
  ASSERT_EQ(f.ComObj().ComNumber(), 1);

  bool cancelled = false;
  WhenModal([&](QDialog* dialog) {
    cancelled = static_cast<TdlgComm*>(dialog)->SelectedPort() == 1;
    dialog->reject();
  });
  f.mnuViewCommPort->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("I") == 2 && !f.TickRunning(); }));
  EXPECT_TRUE(cancelled) << "the dialog showed the current port";
  EXPECT_TRUE(f.Connected());

  WhenModal([&](QDialog* dialog) {
    auto* comm = static_cast<TdlgComm*>(dialog);
    comm->cmbobxCommPort->setCurrentIndex(1);  // "Com Port 2"
    comm->OKBtn->click();
    if (comm->isVisible()) comm->reject();  // the change failed: do not hang the test
  });
  f.mnuViewCommPort->trigger();
  ASSERT_TRUE(WaitUntil([&] { return second.ReceivedCommands().size() == 1 && !f.TickRunning(); }));
  EXPECT_EQ(f.ComObj().ComNumber(), 2);
  EXPECT_TRUE(f.Connected());
  EXPECT_EQ(f.lblConnection->text(), "COM2  VPMon002");
  EXPECT_TRUE(messages.empty());
}

TEST_F(DialogsTest, EveryDialogShowsItsWholeCaption) {
  // The window system appends a display name, when one is set, to every title.
  InitApplication();
  SetApplicationHelpFile({});
  const QString name = QCoreApplication::applicationName();
  QCoreApplication::setApplicationName(QStringLiteral("probe"));
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe")
      << "a display name is appended to every dialog's title";
  QCoreApplication::setApplicationName(name);

  StartSim();
  OpenWithDialogs();
  TComSelectForm selectPort(std::vector<int>{1, 2});
  QFont bold = QApplication::font();
  bold.setBold(true);
  const QFontMetrics metrics(bold);
  for (QDialog* dialog : std::initializer_list<QDialog*>{
           appForms->dlgComm.get(), appForms->dlgAbout.get(), appForms->dlgCalWizard.get(),
           appForms->dlgOptions.get(), appForms->dlgOptionsDualRelay.get(), &selectPort}) {
    dialog->layout()->activate();
    // The caption, and at least a close button beside it.
    EXPECT_GE(dialog->width(), metrics.horizontalAdvance(dialog->windowTitle()) + 64)
        << dialog->windowTitle().toStdString();
  }
}

// The controls Tab visits in window, in the order it visits them, from the top left one.
QList<QWidget*> TabChain(QWidget* window) {
  const auto insideControl = [window](const QWidget* w) {
    for (const QWidget* p = w->parentWidget(); p && p != window; p = p->parentWidget())
      if ((p->focusPolicy() & Qt::TabFocus) && !qobject_cast<const QGroupBox*>(p)) return true;
    return false;
  };
  QList<QWidget*> chain;
  for (QWidget* w = window->nextInFocusChain(); w && w != window; w = w->nextInFocusChain())
    if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !w->focusProxy() &&
        !insideControl(w))
      chain.append(w);
  const auto topLeft = std::min_element(chain.begin(), chain.end(), [&](QWidget* a, QWidget* b) {
    const QPoint pa = a->mapTo(window, QPoint()), pb = b->mapTo(window, QPoint());
    return std::pair(pa.y(), pa.x()) < std::pair(pb.y(), pb.x());
  });
  std::rotate(chain.begin(), topLeft, chain.end());
  return chain;
}

// Every control a screen reader reaches has a name of its own, and Tab never jumps back
// left in a row or up and to the left.
void ExpectNamedInReadingOrder(QWidget* window, const std::string& what) {
  window->show();
  QCoreApplication::processEvents();
  const QList<QWidget*> chain = TabChain(window);
  EXPECT_GE(chain.size(), 1) << what;
  QStringList names;
  for (QWidget* w : chain) {
    QString name = AccessibleNameOf(w);
    // A screen reader says a combo box's description where no label is related to it.
    if (name.isEmpty() && qobject_cast<QComboBox*>(w)) name = w->accessibleDescription();
    EXPECT_FALSE(name.isEmpty()) << what << ": " << w->metaObject()->className() << " "
                                 << w->objectName().toStdString();
    EXPECT_FALSE(names.contains(name)) << what << ": two controls read as " << name.toStdString();
    names.append(name);
  }
  QHash<QKeySequence, QString> mnemonics;
  for (QWidget* w : window->findChildren<QWidget*>()) {
    const auto* label = qobject_cast<QLabel*>(w);
    const auto* button = qobject_cast<QAbstractButton*>(w);
    const QString text = label && label->buddy() ? label->text() : button ? button->text() : "";
    const QKeySequence key = QKeySequence::mnemonic(text);
    if (key.isEmpty() || !w->isVisible()) continue;
    EXPECT_FALSE(mnemonics.contains(key)) << what << ": " << text.toStdString() << " and "
                                          << mnemonics[key].toStdString() << " share a mnemonic";
    mnemonics.insert(key, text);
  }
  for (qsizetype i = 1; i < chain.size(); ++i) {
    const QRect a(chain[i - 1]->mapTo(window, QPoint()), chain[i - 1]->size());
    const QRect b(chain[i]->mapTo(window, QPoint()), chain[i]->size());
    const bool sameRow = (a.center().y() >= b.top() && a.center().y() <= b.bottom()) ||
                         (b.center().y() >= a.top() && b.center().y() <= a.bottom());
    const bool back =
        sameRow ? b.center().x() < a.center().x() : b.bottom() < a.top() && b.left() <= a.left();
    EXPECT_FALSE(back) << what << ": Tab goes from " << names[i - 1].toStdString() << " back to "
                       << names[i].toStdString();
  }
  window->hide();
}

TEST_F(DialogsTest, EveryWindowNamesItsControlsAndTabsInReadingOrder) {
  StartSim();
  TFormMain& f = OpenWithDialogs();
  TdlgOptions& options = *appForms->dlgOptions;
  const std::pair<const char*, TDateTime> monitors[] = {
      {"KRFMON01", EncodeDate(1999, 1, 1)},   {"KRFMON02", EncodeDate(2012, 6, 1)},
      {"VPMon002", EncodeDate(2000, 10, 18)}, {"VPMon002", EncodeDate(2000, 10, 19)},
      {"VPMon002", EncodeDate(2002, 5, 14)},  {"KRFMON03", EncodeDate(2003, 11, 19)},
      {"KRFMON03", EncodeDate(2003, 11, 20)}, {"KRFMON03", EncodeDate(2010, 1, 8)}};
  for (const auto& [model, date] : monitors) {
    options.SetDeviceEnabled(true, model, date);
    ExpectNamedInReadingOrder(&options, std::string("options for ") + model);
  }
  appForms->dlgOptionsDualRelay->SetDeviceEnabled(true, "KRFMON04", EncodeDate(2012, 1, 1));
  TComSelectForm selectPort(std::vector<int>{1, 2});
  AlarmSettingsDialog alarmSettings(&f);
  f.Alarms().ShowHistory();
  f.mnuViewTrend->trigger();
  const std::unique_ptr<QDialog> shortcuts = NewShortcutsDialog(&f, ShortcutRows(*f.menuBar()));
  for (QWidget* window : std::initializer_list<QWidget*>{
           appForms->dlgOptionsDualRelay.get(), appForms->dlgComm.get(), appForms->dlgAbout.get(),
           appForms->dlgCalWizard.get(), &selectPort, &alarmSettings, f.Alarms().HistoryWindow(),
           f.Trend(), shortcuts.get()})
    ExpectNamedInReadingOrder(window, window->metaObject()->className());
  // Names that need the context around a label.
  EXPECT_EQ(AccessibleNameOf(options.cardedHiPower), "High Power Alarm, % of Full Scale");
  EXPECT_EQ(AccessibleNameOf(alarmSettings.VSWRClearBelow), "VSWR above, clears below");
  EXPECT_EQ(AccessibleNameOf(alarmSettings.Latch[0]), "Latch, Monitor alarm");
  EXPECT_EQ(AccessibleNameOf(appForms->dlgCalWizard->findChild<QWidget*>("realedFSPower")),
            "Full Scale Power, W");
}

TEST_F(DialogsTest, HelpAndTheManualGiveTheKeysOfEveryCommand) {
  StartSim();
  TFormMain& f = Open();
  const QList<ShortcutRow> rows = ShortcutRows(*f.menuBar());
  const auto keysOf = [&rows](const QString& command) {
    for (const ShortcutRow& row : rows)
      if (row.Command == command) return row.Shortcut + " | " + row.MenuKeys;
    return QStringLiteral("(not listed)");
  };
  EXPECT_EQ(keysOf("View > Trend"), " | Alt+V, R");
  EXPECT_EQ(keysOf("Commands > Speak"), "F5 | Alt+C, S");
  EXPECT_EQ(keysOf("Commands > Speak Every > 10 Seconds"), " | Alt+C, V, arrow keys");
  EXPECT_EQ(keysOf("Help > Keyboard Shortcuts"), " | Alt+H, K");

  QFile manual(QStringLiteral(":/help/VemoSWR.html"));
  ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
  const QString html = QString::fromUtf8(manual.readAll());
  for (const ShortcutRow& row : rows) {
    // A submenu's choices (the intervals, the hold times) share its row.
    QStringList path = row.Command.split(QStringLiteral(" > "));
    bool listed = path.size() < 2;
    for (; !listed && path.size() >= 2; path.removeLast())
      listed = html.contains(QStringLiteral("<td>") + path.join(QStringLiteral(" &gt; ")) +
                             QStringLiteral("</td>"));
    EXPECT_TRUE(listed) << "the manual's table lacks " << row.Command.toStdString();
  }
  // Two items of one menu with one underlined letter: the letter only moves between them.
  QHash<QString, QString> byKeys;
  for (const ShortcutRow& row : rows) {
    if (row.MenuKeys.isEmpty() || row.MenuKeys.endsWith(QStringLiteral("arrow keys"))) continue;
    EXPECT_FALSE(byKeys.contains(row.MenuKeys))
        << row.Command.toStdString() << " and " << byKeys[row.MenuKeys].toStdString() << " share "
        << row.MenuKeys.toStdString();
    byKeys.insert(row.MenuKeys, row.Command);
  }
}

TEST_F(DialogsTest, CalibrationWizardSuspendsContinuousPollingAndItResumesSlower) {
  StartSim();
  TFormMain& f = OpenWithDialogs();
  f.mnuCommands_R->trigger();
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") >= 1; }));
  size_t readingsAtOpen = 0;
  size_t readingsAtClose = 0;
  std::string shown;
  WhenModal([&](QDialog* dialog) {
    shown = dialog->metaObject()->className();
    readingsAtOpen = CountCommand("7");  // a reading starts with "7"
    // The wizard reads the monitor as it opens and ignores closing meanwhile: keep asking,
    // from the event loop, until it goes (no blocking here, its reads run below us).
    auto* closer = new QTimer(&pollers);
    QObject::connect(closer, &QTimer::timeout, closer, [&, dialog, closer] {
      if (!dialog->isVisible()) return closer->stop();
      readingsAtClose = CountCommand("7");
      dialog->reject();
    });
    closer->start(900);  // a polling tick would have come by now
  });
  f.mnuCommandsCalWizard->trigger();
  ASSERT_TRUE(WaitUntil([&] { return !shown.empty() && !f.TickRunning(); }));
  EXPECT_EQ(shown, "vemo::TdlgCalWizard");
  EXPECT_EQ(readingsAtClose, readingsAtOpen) << "no readings while the wizard is open";
  EXPECT_TRUE(f.Continuous());
  EXPECT_EQ(f.Timer1->interval(), 750);
  const size_t before = CountCommand("T");
  ASSERT_TRUE(WaitUntil([&] { return CountCommand("T") > before; }));
}

}  // namespace
}  // namespace vemo::test
