// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls and menu, laid out at fixed positions like the designed form:
// the digital panel, the meter panel and, to their right, the diagnostics panel.
#include <QAction>
#include <QComboBox>
#include <QFontDatabase>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolButton>

#include "ui/controls/NumEdit.h"
#include "ui/main/Main.h"
#include "ui/main/MainStyle.h"
#include "ui/meter/DCDial.h"
#include "ui/meter/Meter.h"

namespace vemo {

namespace {

QLabel* Caption(QWidget* parent, const QString& text, int x, int y, int width = 150) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(x, y, width, 16);
  QFont font = label->font();
  font.setBold(true);
  font.setPixelSize(11);
  label->setFont(font);
  return label;
}

QLineEdit* Readout(QWidget* parent, const QString& name, int pixelSize, QRect geometry,
                   bool readOnly) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setGeometry(geometry);
  edit->setFont(ReadoutFont(pixelSize));
  edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  edit->setStyleSheet(ReadoutStyleSheet(false));
  edit->setReadOnly(readOnly);
  // The read-outs are for looking at; only the dBm boxes are ordinary tab stops.
  edit->setFocusPolicy(readOnly ? Qt::ClickFocus : Qt::StrongFocus);
  return edit;
}

QLabel* Indicator(QWidget* parent, const QString& text, QRect geometry) {
  auto* panel = new QLabel(text, parent);
  panel->setGeometry(geometry);
  panel->setAlignment(Qt::AlignCenter);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setLineWidth(1);
  panel->setAutoFillBackground(true);
  QFont font = panel->font();
  font.setBold(true);
  font.setPixelSize(11);
  panel->setFont(font);
  return panel;
}

QToolButton* SpeedButton(QWidget* parent, const QString& text, QRect geometry) {
  auto* button = new QToolButton(parent);
  button->setText(text);
  button->setGeometry(geometry);
  button->setFocusPolicy(Qt::NoFocus);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  QFont font = button->font();
  font.setBold(true);
  font.setPixelSize(12);
  button->setFont(font);
  return button;
}

}  // namespace

void TFormMain::CreateControls() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  setCentralWidget(client);

  Panel_Display = new QFrame(client);
  Panel_Display->setObjectName(QStringLiteral("Panel_Display"));
  Panel_Display->setGeometry(2, 2, PanelDisplayWidth, PanelDisplayHeight);
  Panel_Display->setFrameStyle(QFrame::Panel | QFrame::Raised);
  StylePanel(Panel_Display);
  CreateReadouts();

  Panel1 = new QFrame(client);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setGeometry(2, PanelDisplayHeight + 6, PanelDisplayWidth, Panel1Height);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  StylePanel(Panel1);
  CreateMeterPanel();

  CreatePeakPanel();
  CreateTestPanel();
}

void TFormMain::CreateReadouts() {
  QWidget* p = Panel_Display;
  // Two columns of read-outs, each caption above its box.
  constexpr int kLeft = 6, kRight = 152, kWidth = 139, kLeftWidth = 141;

  Label1D = Caption(p, tr("Forward Power (KW):"), kLeft, 5, kRight - kLeft);
  lblDBM = Caption(p, tr("(dBm):"), kRight, 5, kWidth);
  Edit_Forward_Power =
      Readout(p, QStringLiteral("Edit_Forward_Power"), 24, QRect(kLeft, 22, kLeftWidth, 29), true);
  editDBm1 = Readout(p, QStringLiteral("editDBm1"), 24, QRect(kRight, 22, kWidth, 29), false);
  editDBM = Readout(p, QStringLiteral("editDBM"), 24, QRect(kRight, 22, kWidth, 29), false);
  editDBM->raise();
  // editDBm1 lies hidden under editDBM: no Tab stop for a box nobody can see.
  editDBm1->setFocusPolicy(Qt::NoFocus);

  Label2D = Caption(p, tr("Reflected Power (KW):"), kLeft, 57, kRight - kLeft);
  Label4D = Caption(p, tr("V.S.W.R.:"), kRight, 57, kWidth);
  Edit_Reverse_Power =
      Readout(p, QStringLiteral("Edit_Reverse_Power"), 16, QRect(kLeft, 74, kLeftWidth, 23), true);
  Edit_VSWR = Readout(p, QStringLiteral("Edit_VSWR"), 16, QRect(kRight, 74, kWidth, 23), true);

  Label3D = Caption(p, tr("Return Loss (dB):"), kLeft, 103, kRight - kLeft);
  Label5D = Caption(p, tr("Reflection Coefficient:"), kRight, 103, kWidth);
  Edit_Return_Loss =
      Readout(p, QStringLiteral("Edit_Return_Loss"), 16, QRect(kLeft, 120, kLeftWidth, 23), true);
  Edit_Rho = Readout(p, QStringLiteral("Edit_Rho"), 16, QRect(kRight, 120, kWidth, 23), true);

  Label6D = Caption(p, tr("Transmitted Power (%):"), kLeft, 149, kRight - kLeft);
  Edit_Transmited_Power = Readout(p, QStringLiteral("Edit_Transmited_Power"), 16,
                                  QRect(kLeft, 166, kLeftWidth, 23), true);

  Caption(p, tr("Monitor:"), kRight, 149, kWidth);
  lblConnection = new QLabel(p);
  lblConnection->setObjectName(QStringLiteral("lblConnection"));
  lblConnection->setGeometry(kRight, 166, kWidth, 23);
  lblConnection->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  lblConnection->setAlignment(Qt::AlignCenter);
  lblConnection->setToolTip(tr("Serial port and model of the monitor"));

  spdbtnContinuous = SpeedButton(p, tr("Continuous"), QRect(kLeft, 197, 78, 27));
  spdbtnContinuous->setObjectName(QStringLiteral("spdbtnContinuous"));
  spdbtnContinuous->setCheckable(true);
  spdbtnContinuous->setToolTip(tr("Start repeated power readings"));
  spdbtnTrigger = SpeedButton(p, tr("Trigger"), QRect(kLeft + 81, 197, kLeftWidth - 81, 27));
  spdbtnTrigger->setObjectName(QStringLiteral("spdbtnTrigger"));
  spdbtnTrigger->setToolTip(tr("Trigger a single power reading"));
  connect(spdbtnContinuous, &QToolButton::clicked, this,
          [this] { Guarded([this] { mnuCommands_RClick(); }); });
  connect(spdbtnTrigger, &QToolButton::clicked, this,
          [this] { Guarded([this] { mnuCommands_TClick(); }); });

  pnlRS232 = Indicator(p, tr("RS232"), QRect(kRight, 199, 67, 23));
  pnlRS232->setObjectName(QStringLiteral("pnlRS232"));
  pnlAlarm = Indicator(p, tr("Alarm"), QRect(kRight + 72, 199, kWidth - 72, 23));
  pnlAlarm->setObjectName(QStringLiteral("pnlAlarm"));
  SetIndicatorColour(pnlRS232, ButtonFace());
  SetIndicatorColour(pnlAlarm, ButtonFace());
}

void TFormMain::CreateMeterPanel() {
  QWidget* p = Panel1;
  dcMeter = new TDCDial(p);
  dcMeter->setObjectName(QStringLiteral("dcMeter"));
  dcMeter->OnLabelPosition = [this](TDCDial* sender, int position, QString& text, int id) {
    dcMeterLabelPosition(sender, position, text, id);
  };

  lblMeter = Caption(p, tr("Forward Power"), 0, 130, 170);
  lblMeter->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  lblMeterUnit = Caption(p, tr("(W)"), 175, 130, 60);

  lblRangeList = Caption(p, tr("Full Scale Range"), 8, 156, 110);
  cmboRangeList = new QComboBox(p);
  cmboRangeList->setObjectName(QStringLiteral("cmboRangeList"));
  cmboRangeList->setGeometry(118, 152, 171, 24);
  for (int i = 0; i < kMeterScaleCount; ++i)
    cmboRangeList->addItem(QString::fromLatin1(MeterScale(i).Text));
  cmboRangeList->addItem(QString::fromLatin1(kAutoRangeText));
  cmboRangeList->setToolTip(tr("Select the full scale range for the meter"));
  cmboRangeList->setMaxVisibleItems(kAutoRangeIndex + 1);
  lblRangeList->setBuddy(cmboRangeList);
  // Only the user's choices run the handler; start-up selects the stored range quietly.
  connect(cmboRangeList, &QComboBox::activated, this,
          [this] { Guarded([this] { cmboRangeListChange(); }); });
}

void TFormMain::CreateTestPanel() {
  TestPanel = new QGroupBox(tr("Diagnostics"), centralWidget());
  TestPanel->setObjectName(QStringLiteral("TestPanel"));
  TestPanel->setGeometry(PanelDisplayWidth + 4, 2, TestPanelWidth, PanelDisplayHeight);
  QWidget* p = TestPanel;

  auto* forward = new QLabel(tr("Forward (W)"), p);
  forward->setGeometry(8, 20, 134, 16);
  RealEdit1 = new TRealEdit(p);
  RealEdit1->setObjectName(QStringLiteral("RealEdit1"));
  RealEdit1->setGeometry(8, 36, 134, 22);
  RealEdit1->SetFormatString(QStringLiteral("00.00"));
  RealEdit1->SetValue(0);

  auto* reflected = new QLabel(tr("Reflected (W)"), p);
  reflected->setGeometry(8, 62, 134, 16);
  RealEdit2 = new TRealEdit(p);
  RealEdit2->setObjectName(QStringLiteral("RealEdit2"));
  RealEdit2->setGeometry(8, 78, 134, 22);
  RealEdit2->SetFormatString(QStringLiteral("0.000"));
  RealEdit2->SetValue(0);

  auto* noise = new QLabel(tr("Noise"), p);
  noise->setGeometry(8, 106, 48, 16);
  Edit1 = new QLineEdit(QStringLiteral("W"), p);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setGeometry(60, 104, 82, 22);
  Edit1->setToolTip(tr("\"W\": each step adds 0 to 9 W; anything else: 0 to 0.09 W"));

  Button1 = new QPushButton(tr("Send Measurement"), p);
  Button1->setGeometry(8, 132, 134, 26);
  Button3 = new QPushButton(tr("-"), p);
  Button3->setGeometry(8, 162, 65, 26);
  Button3->setToolTip(tr("Let the simulated power fall faster"));
  Button4 = new QPushButton(tr("+"), p);
  Button4->setGeometry(77, 162, 65, 26);
  Button4->setToolTip(tr("Let the simulated power fall slower"));
  Button2 = new QPushButton(tr("Button2"), p);
  Button2->setGeometry(8, 194, 134, 26);
  Button2->setToolTip(tr("Show the diagnostic counters"));

  for (QWidget* w : p->findChildren<QWidget*>()) w->setFocusPolicy(Qt::ClickFocus);

  connect(Button1, &QPushButton::clicked, this, [this] { Guarded([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { Button3Click(); }); });
  connect(Button4, &QPushButton::clicked, this, [this] { Guarded([this] { Button4Click(); }); });
}

void TFormMain::CreateMenu() {
  const auto item = [this](QMenu* menu, const QString& text, void (TFormMain::*handler)(),
                           const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(text);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this,
            [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    addAction(action);  // shortcuts work while the menu is closed
    return action;
  };
  // Check items show the program's state; the handlers decide it, not the click.
  const auto checkItem = [this](QMenu* menu, const QString& text, void (TFormMain::*handler)(),
                                const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(text);
    action->setCheckable(true);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, [this, action, handler] {
      action->setChecked(!action->isChecked());
      Guarded([this, handler] { (this->*handler)(); });
    });
    addAction(action);
    return action;
  };

  QMenu* file = menuBar()->addMenu(tr("&File"));
  CreateLogMenu(file);
  mnuFileReport = item(file, tr("&Report…"), &TFormMain::mnuFileReportClick);
  file->addSeparator();
  mnuFileExit = item(file, tr("E&xit"), &TFormMain::mnuFileExitClick, QKeySequence(tr("Ctrl+Q")));

  QMenu* view = menuBar()->addMenu(tr("&View"));
  mnuViewMeter = checkItem(view, tr("Display &Meter"), &TFormMain::mnuViewMeterClick);
  CreatePeakHoldMenu(view);
  mnuViewTrend = checkItem(view, tr("T&rend"), &TFormMain::mnuViewTrendClick);
  view->addSeparator();
  mnuViewCommPort = item(view, tr("Comm &Port"), &TFormMain::mnuViewCommPortClick);
  mnuViewOptions = item(view, tr("Monitor &Options"), &TFormMain::Options1Click);
  mnuViewAlarmSettings = item(view, tr("&Alarm Settings…"), &TFormMain::mnuViewAlarmSettingsClick);
  mnuViewAlarmHistory = item(view, tr("Alarm &History"), &TFormMain::mnuViewAlarmHistoryClick);
  mnuViewSetReference = item(view, tr("&Set reference"), &TFormMain::mnuViewSetReferenceClick);
  mnuViewSetReference->setToolTip(
      tr("The last minute's forward and reflected power and VSWR become the baseline of the "
         "drift alarms"));
  CreateIntervalMenu(view);
  view->addSeparator();
  mnuViewDiagnostics = checkItem(view, tr("&Diagnostics"), &TFormMain::mnuViewDiagnosticsClick);

  QMenu* commands = menuBar()->addMenu(tr("&Commands"));
  commandsMenu_ = commands;
  mnuCommands_T = item(commands, tr("&T - Trigger"), &TFormMain::mnuCommands_TClick,
                       QKeySequence(tr("Ctrl+T")));
  mnuCommands_R = checkItem(commands, tr("&C - Continuous"), &TFormMain::mnuCommands_RClick,
                            QKeySequence(tr("Ctrl+C")));
  mnuCommandsReset = item(commands, tr("&A - Reset Alarm"), &TFormMain::mnuCommandsResetClick,
                          QKeySequence(tr("Ctrl+A")));
  mnuCommandsAcknowledge =
      item(commands, tr("Ac&knowledge Alarm"), &TFormMain::mnuCommandsAcknowledgeClick,
           QKeySequence(tr("Ctrl+K")));
  // The alarm is acknowledged from whichever of the program's windows is in front.
  mnuCommandsAcknowledge->setShortcutContext(Qt::ApplicationShortcut);
  mnuCommandsTestAlarm = item(commands, tr("T&est Alarm"), &TFormMain::mnuCommandsTestAlarmClick);
  commands->addSeparator();
  QMenu* calibration = commands->addMenu(tr("Ca&libration"));
  mnuCalZero = item(calibration, tr("&Zero Offset"), &TFormMain::N0CalibrateZeroOffset1Click);
  mnuCalForward =
      item(calibration, tr("&Forward Power"), &TFormMain::N1CalibrateForwardPower1Click);
  mnuCalReflected =
      item(calibration, tr("&Reflected Power"), &TFormMain::N2CalibrateReflectedPower1Click);
  calibration->addSeparator();
  mnuCommandsCalWizard =
      item(calibration, tr("Calibration &Wizard..."), &TFormMain::mnuCommandsCalWizardClick);

  QMenu* help = menuBar()->addMenu(tr("&Help"));
  helpMenu_ = help;
  mnuHelpContents = item(help, tr("&Help"), &TFormMain::mnuHelpClick, QKeySequence(Qt::Key_F1));
  mnuHelpAbout = item(help, tr("&About Pwr Monitor Software..."), &TFormMain::mnuHelpAboutClick);
}

}  // namespace vemo
