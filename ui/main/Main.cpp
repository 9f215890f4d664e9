// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's start-up, connection, messages and shutdown.
#include "ui/main/Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QTimer>

#include <clocale>
#include <cstdint>
#include <cstdio>

#include "monitor/Buffer.h"
#include "monitor/VSWRMon.h"
#include "platform/Escaped.h"
#include "platform/HelpViewer.h"
#include "platform/PortNames.h"
#include "platform/ProfileFile.h"
#include "platform/SettingsPath.h"
#include "serial/ComPort.h"
#include "serial/SerialErrors.h"
#include "station/LinkMessages.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/dialogs/CalWiz.h"
#include "ui/main/MainAccessibility.h"
#include "ui/main/MainRig.h"
#include "ui/main/WindowPlacement.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

namespace {
constexpr char kApplicationTitle[] = "VemoSWR";
}  // namespace

TFormMain::MessageBoxFn& TFormMain::MessageBoxHook() {
  static MessageBoxFn hook;
  return hook;
}

void TFormMain::SetMessageBoxHook(MessageBoxFn hook) {
  MessageBoxHook() = std::move(hook);
}

LinkTiming& TFormMain::LinkTimingHook() {
  static LinkTiming timing;
  return timing;
}

TFormMain::TFormMain(QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      Link_(std::make_unique<MonitorLink>(LinkTimingHook())),
      ComObj_(&Link_->Port()),
      Polling_(std::make_unique<PollingController>(*Link_, static_cast<PollingView&>(*this))) {
  setObjectName(QStringLiteral("FormMain"));
  setWindowTitle(QString::fromLatin1(kApplicationTitle));
  ComObj_->SetName("ComObj");
  ComObj_->SetTraceName("SERIAL.TRC");
  ComObj_->SetLogName("SERIAL.LOG");
  ComObj_->SetOnTriggerAvail(
      [this](TCustomComPort&, uint16_t count) { Guarded([&] { ComObjTriggerAvail(count); }); });

  Timer1 = new QTimer(this);
  Timer1->setInterval(NormalTimer1Interval);
  Timer1->setTimerType(Qt::PreciseTimer);  // the polling period is exchange + interval
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });
  Timer2 = new QTimer(this);
  Timer2->setInterval(800);
  connect(Timer2, &QTimer::timeout, this, [this] { Guarded([this] { Timer2Timer(); }); });
  tmrDeviceWatch = new QTimer(this);
  tmrDeviceWatch->setInterval(1000);
  connect(tmrDeviceWatch, &QTimer::timeout, this,
          [this] { Guarded([this] { tmrDeviceWatchTimer(); }); });

  CreateControls();
  CreateMenu();
  CreateAlarms();
  access_ = std::make_unique<MainAccessibility>(*this);
  access_->CreateMenu(commandsMenu_, helpMenu_);
  rig_ = std::make_unique<MainRig>(*this);
  rig_->CreateMenu(commandsMenu_);
  // Menu shortcuts come before the keys a focused line edit would claim (Ctrl+C, Ctrl+A).
  qApp->installEventFilter(this);
  Timer1->start();
  FormCreate();
  access_->ReadChoices();
}

TFormMain::~TFormMain() {
  qApp->removeEventFilter(this);
  if (!formClosed_) FormClose();
  // It reads the history and statistics, which go before the window's children.
  delete trendWindow_;
  // The port goes before the widgets its notifications would reach.
  Link_.reset();
}

void TFormMain::SetDialogs(const Dialogs& dialogs) {
  dialogs_ = dialogs;
  // The wizard's messages go the way of every other box of the program.
  if (dialogs_.CalWizard)
    dialogs_.CalWizard->SetMessageBox(
        [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
          return MessageBox(icon, text, buttons);
        });
}

void TFormMain::SetRegionalFormats() {
  // The read-outs and the monitor's decimal replies use "." whatever the user's locale;
  // Qt switches the C library to the user's locale at start-up, so switch numbers back.
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(QLocale::c());
}

void TFormMain::FormCreate() {
  SetRegionalFormats();
  Link_->ResetBufferEmptyCount();
  CmdList_ = std::make_unique<TCmdList>();
  Monitor_ = &Link_->Monitor();

  editDBM->setFixedHeight(29);
  editDBm1->setFixedHeight(29);
  pnlRS232->setToolTip(tr("Indicates that the RS232 port is active"));
  pnlAlarm->setToolTip(tr("Indicates the state af the VSWR alarm"));
  SimulationDrift_ = 0.05;

  clientWidth_ = PanelDisplayWidth + 4;
  clientHeightNoMeter_ = PanelDisplayHeight + 4;
  clientHeightWithMeter_ = PanelDisplayHeight + Panel1Height + 6;

  IniFileName_ = SettingsFilePath();
  ReadSettings();
  OpenHistoryStore();
  PlacePanels(MeterShown());

  InitMeter(*dcMeter);
  ApplyInitialRange();
  DisplayReading(0, 0);
  SetReadoutLook(ReadoutLook::NoReading);  // zeros, but not measured

  Polling_->SetUnattended(UnattendedStartFlag());
  try {
    ConnectMonitor();
  } catch (...) {
    // Unattended, the start of polling that follows tries again and says why in the window.
    if (!Polling_->Unattended()) ShowFailureByClass(std::current_exception());
  }
  UpdateConnectionLabel();
}

void TFormMain::ReadSettings() {
  const ProfileFile ini = ProgramSettings(IniFileName_);
  const TDesktopScreens screens = DesktopScreens(false);
  const int top = ini.ReadInteger("Window", "Top", 5);
  const int left = ini.ReadInteger("Window", "Left", 50);
  // The height with the meter decides, shown or not, so the window fits either way.
  move(MainWindowPosition(left, top, QSize(clientWidth_, clientHeightWithMeter_), screens.Primary,
                          screens.All));

  // A number the port cannot hold would wrap (-5 became port 65531) and be saved so: such a
  // setting reads as the default.
  const int port = ini.ReadInteger("Communication", "ComPort", 1);
  ComObj_->SetComNumber(static_cast<uint16_t>(port >= 0 && port <= UINT16_MAX ? port : 1));
  mnuViewMeter->setChecked(ini.ReadBool("Meter", "Visible", false));
  ReadTrendSettings(ini);
  const int range = ini.ReadInteger("Meter", "Range", 5);
  cmboRangeList->setCurrentIndex(range >= 0 && range <= kAutoRangeIndex ? range : -1);
  ReadStationSettings(ini);
  LoadAlarmSettings(ini);
  rig_->ReadSettings(ini);
  // Each problem with the settings file stays in the status area under a topic of its own.
  int n = 0;
  for (const std::string& problem : ini.Problems())
    AlarmNote(QStringLiteral("settings %1").arg(n++), QString::fromStdString(problem), false);
}

void TFormMain::ApplyInitialRange() {
  const int item = cmboRangeList->currentIndex();
  // SetMeterRange skips the scale CurrentRange already names; make the first call count.
  // Both item 0 and no item at all apply scale 0.
  CurrentRange = item <= 0 ? 1 : 0;
  if (item < 0) {
    SetMeterRange(*dcMeter, 0);
  } else if (item < kAutoRangeIndex) {
    SetMeterRange(*dcMeter, static_cast<uint8_t>(item));
  } else {
    SetMeterRange(*dcMeter, 1);
    AutoRangeMeter(*dcMeter, 0);
  }
  lblMeterUnit->setText(MeterUnitCaption(CurrentRange));
}

void TFormMain::SetClientSize(int width, int height) {
  centralWidget()->setFixedSize(width, height);
  // The window follows its client area exactly; the user cannot resize it.
  const int menuHeight = menuBar()->heightForWidth(width) > 0 ? menuBar()->heightForWidth(width)
                                                              : menuBar()->sizeHint().height();
  const int status = StatusBarHeight(width);
  if (status > 0) statusBar_->setFixedHeight(status);
  setFixedSize(width, height + menuHeight + status);
}

void TFormMain::PlacePanels(bool meterShown) {
  const int peakWidth = PeakHoldShown() ? PeakPanelWidth + 2 : 0;
  const int width = clientWidth_ + peakWidth + (DiagnosticsShown() ? TestPanelWidth + 2 : 0);
  if (meterShown) {
    SetClientSize(width, clientHeightWithMeter_);
    Panel1->move(2, 2);
    Panel_Display->move(2, Panel1Height + 5);
  } else {
    SetClientSize(width, clientHeightNoMeter_);
    Panel_Display->move(2, 2);
    Panel1->move(2, PanelDisplayHeight + 6);  // below the client area
  }
  // Out of sight, the dial and the range list must not take Tab stops (or keys) either.
  Panel1->setVisible(meterShown);
  Panel_Peak->move(clientWidth_, Panel_Display->y());
  Panel_Peak->setVisible(PeakHoldShown());
  TestPanel->move(clientWidth_ + peakWidth, 2);
  // Hidden, not just out of the client area: screen readers list what is not hidden.
  TestPanel->setVisible(DiagnosticsShown());
}

int TFormMain::ClientWidth() const {
  return centralWidget()->minimumWidth();
}
int TFormMain::ClientHeight() const {
  return centralWidget()->minimumHeight();
}
bool TFormMain::MeterShown() const {
  return mnuViewMeter->isChecked();
}
bool TFormMain::DiagnosticsShown() const {
  return mnuViewDiagnostics->isChecked();
}

void TFormMain::ConnectMonitor() {
  Polling_->Connect();
}

bool TFormMain::ChangeComPort(uint8_t n) {
  if (n == ComObj_->ComNumber()) return false;
  try {
    ComObj_->SetOpen(false);
  } catch (const ESerialException& e) {
    ShowMessage(QString::fromStdString(e.message()));
  }
  const uint16_t previous = ComObj_->ComNumber();
  try {
    ComObj_->SetComNumber(n);
    ComObj_->SetOpen(true);
  } catch (const std::exception&) {
    // Whatever the failure (a system error comes as EInOutError), the number that works
    // is put back, so that it is also the one saved at shutdown.
    ShowMessage(tr("Unable to open comm port %1.").arg(n));
    ComObj_->SetComNumber(previous);  // the port is closed: this only stores the number
    UpdateConnectionLabel();
    return false;
  }
  UpdateConnectionLabel();
  return true;
}

void TFormMain::ClosePort() {
  if (ComObj_->Open()) ComObj_->SetOpen(false);
}

void TFormMain::UpdateConnectionLabel() {
  if (!lblConnection || !Monitor_) return;
  QString text = QStringLiteral("COM%1").arg(ComObj_->ComNumber());
  if (!Polling_->ConnectionNote().empty())
    text += QStringLiteral("  ") + tr(Polling_->ConnectionNote().c_str());
  else if (Polling_->Connected())
    text += QStringLiteral("  ") + QString::fromStdString(Monitor_->ModelId());
  else
    text += tr("  not connected");
  lblConnection->setText(text);
  // Whatever the read-outs hold, it is not what the monitor measures now.
  if (!Polling_->Connected()) SetReadoutsStale(true);
}

// --- Shutdown ---------------------------------------------------------------------------

void TFormMain::closeEvent(QCloseEvent* event) {
  if (formClosed_) {
    event->accept();
    return;
  }
  if (TickRunning()) {
    // An exchange (or a command's dialogue) is under way and relies on the port, the
    // session and the buffer: close once it is over.
    closePending_ = true;
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void TFormMain::FinishDeferredClose() {
  if (formClosed_ || TickRunning()) return;
  if (exitPending_) Guarded([this] { ClosePort(); });
  close();
}

void TFormMain::FormClose() {
  formClosed_ = true;
  Timer1->stop();
  Timer2->stop();
  tmrDeviceWatch->stop();
  tmrPeak->stop();
  rig_->Shutdown();
  alarms_->Shutdown();
  WriteSettings();
  // A window of the main window's goes with it.
  if (trendWindow_) trendWindow_->hide();
  CmdList_.reset();
  Monitor_ = nullptr;
  // Let the device go now rather than when the window object is destroyed.
  try {
    ClosePort();
  } catch (const std::exception&) {
    // Nothing more can be done for a port that fails to close at shutdown.
  }
  if (helpViewer_) helpViewer_->close();
}

void TFormMain::WriteSettings() {
  try {
    ProfileFile ini = ProgramSettings(IniFileName_);
    ini.BeginUpdate();
    ini.WriteInteger("Communication", "ComPort", ComObj_->ComNumber());
    ini.WriteBool("Meter", "Visible", MeterShown());
    ini.WriteInteger("Meter", "Range", cmboRangeList->currentIndex());
    ini.WriteInteger("Window", "Top", y());
    ini.WriteInteger("Window", "Left", x());
    WriteStationSettings(ini);
    WriteTrendSettings(ini);
    CreateSettingsFolder(IniFileName_);
    ini.EndUpdate();
    if (ini.SavedInPlace())
      std::fprintf(stderr,
                   "VemoSWR: the folder of %s allows no new file, so the settings were "
                   "written into the file in place, without the usual protection against a "
                   "crash; make the folder writable or use another settings file.\n",
                   IniFileName_.c_str());
  } catch (const std::exception& e) {
    // Reported once; the window still closes and frees what it owns.
    ShowMessage(QString::fromStdString(e.what()));
  }
}

// --- Messages and waits -----------------------------------------------------------------

QMessageBox::StandardButton TFormMain::MessageBox(QMessageBox::Icon icon, const QString& text,
                                                  QMessageBox::StandardButtons buttons) {
  if (const MessageBoxFn& hook = MessageBoxHook()) return hook(icon, text, buttons);
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\r'), QChar('\n'));
  QMessageBox box(icon, QString::fromLatin1(kApplicationTitle), shown, buttons,
                  isVisible() ? this : nullptr);
  return static_cast<QMessageBox::StandardButton>(box.exec());
}

void TFormMain::ShowMessage(const QString& text) {
  MessageBox(QMessageBox::NoIcon, text, QMessageBox::Ok);
}

void TFormMain::ShowFailureByClass(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const EAlreadyOpen& e) {
    // Which process holds the port, when known, tells the user what to close.
    QString text = tr("Port is already open. Try another port.");
    if (!e.Detail().empty())
      text += QStringLiteral("\n(%1)").arg(QString::fromStdString(e.Detail()));
    ShowMessage(text);
  } catch (const EPermissionDenied& e) {
    // Only its own text tells the user how to get access (the group that owns the device).
    ShowMessage(QString::fromStdString(e.what()));
  } catch (const ESerialException& e) {
    // What happened, on which port and device, and what to try, as the tool says it.
    const int port = ComObj_->ComNumber();
    const std::string path = PortDevicePath(port);
    ShowMessage(QString::fromStdString(LinkFailureMessage(
        e, !ComObj_->Open(), ComObj_->DeviceLost(), LinkName(port, path, true), path)));
  } catch (const std::exception& e) {
    // The session quotes the monitor's replies: whatever bytes came, the box shows them.
    ShowMessage(QString::fromStdString(Escaped(e.what())));
  } catch (...) {
    ShowMessage(tr("An Exception Occurred"));
  }
}

void TFormMain::ShowApplicationError(std::exception_ptr failure) {
  QString text;
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    text = QString::fromStdString(e.what());
  } catch (...) {
    text = tr("An Exception Occurred");
  }
  MessageBox(QMessageBox::Critical, text, QMessageBox::Ok);
}

void TFormMain::Guarded(const std::function<void()>& action) {
  try {
    action();
  } catch (...) {
    ShowApplicationError(std::current_exception());
  }
}

void TFormMain::Pause(int milliseconds) {
  // The port's notifications, timers and painting go on; the user's input waits.
  QEventLoop loop;
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
  timer.start(milliseconds);
  loop.exec(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace vemo
