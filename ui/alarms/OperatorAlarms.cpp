#include "ui/alarms/OperatorAlarms.h"

#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <algorithm>

#include "monitor/VSWRMon.h"
#include "station/AlarmHook.h"
#include "station/AlarmLog.h"
#include "ui/alarms/AlarmHistoryWindow.h"
#include "ui/alarms/AlarmPlayer.h"

namespace vemo {

namespace {
constexpr int kFlashMs = 500;
// The link alarm needs time to pass without readings; a second is fine enough for it.
constexpr int kTickMs = 1000;
constexpr int kTrayMessageMs = 15'000;
}  // namespace

OperatorAlarms::OperatorAlarms(Host host, QObject* parent)
    : QObject(parent), host_(std::move(host)), baseTitle_(host_.Window->windowTitle()) {
  flash_ = new QLabel(host_.Panel->text(), host_.Panel);
  flash_->setObjectName(QStringLiteral("pnlAlarmFlash"));
  flash_->setGeometry(host_.Panel->rect());
  flash_->setAlignment(host_.Panel->alignment());
  flash_->setFont(host_.Panel->font());
  flash_->setFrameStyle(host_.Panel->frameStyle());
  flash_->setAutoFillBackground(true);
  // The panel beneath takes the click.
  flash_->setAttribute(Qt::WA_TransparentForMouseEvents);
  flash_->hide();
  flashTimer_ = new QTimer(this);
  flashTimer_->setInterval(kFlashMs);
  connect(flashTimer_, &QTimer::timeout, this, [this] {
    // isHidden, not isVisible: the window itself may be hidden, and still the alarm flashes.
    if (flash_->isHidden()) host_.PaintFlash(flash_);
    flash_->setVisible(flash_->isHidden());
  });
  tickTimer_ = new QTimer(this);
  tickTimer_->setInterval(kTickMs);
  connect(tickTimer_, &QTimer::timeout, this, [this] { Apply(evaluator_.Tick(host_.Now())); });

  acknowledgeButton_ = new QPushButton(tr("Acknowledge"));
  acknowledgeButton_->setObjectName(QStringLiteral("btnAcknowledge"));
  acknowledgeButton_->setToolTip(tr("Silence the alarm (Ctrl+K); the record stays"));
  acknowledgeButton_->setFocusPolicy(Qt::NoFocus);
  acknowledgeButton_->hide();
  connect(acknowledgeButton_, &QPushButton::clicked, this, [this] { Acknowledge(); });

  host_.Panel->installEventFilter(this);
  host_.Window->installEventFilter(this);
}

OperatorAlarms::~OperatorAlarms() {
  Shutdown();
  // Whoever shows the button (the status bar) may outlive us; it must not keep a button
  // whose handler is gone.
  delete acknowledgeButton_;
}

void OperatorAlarms::Configure(const TAlarmSettings& settings) {
  settings_ = settings;
  Apply(evaluator_.SetLevels(settings.Levels, host_.Now()));
  const std::string logPath = logOverride_.empty() ? settings.Log : logOverride_;
  if (!log_ || log_->Path() != logPath)
    log_ = std::make_unique<AlarmLog>(logPath, [this](bool, const std::string& message) {
      Tell(QString::fromStdString(message));
    });
  if (settings.Hook.empty()) {
    hook_.reset();
  } else if (!hook_ || hook_->CommandLine() != settings.Hook) {
    hook_ = std::make_unique<AlarmHook>(
        settings.Hook, host_.Port(),
        [this](bool, const std::string& message) { Tell(QString::fromStdString(message)); });
  }
  Present();
}

void OperatorAlarms::SetLogPathOverride(const std::string& path) {
  logOverride_ = path;
  Configure(settings_);
}

void OperatorAlarms::Reading(const TMonitorReading& reading) {
  Apply(evaluator_.Reading(host_.Now(), reading));
}

void OperatorAlarms::SetBaseline(const TDriftBaseline& baseline) {
  if (!(baseline == evaluator_.Baseline())) Apply(evaluator_.SetBaseline(baseline, host_.Now()));
}

void OperatorAlarms::ReadingFailed() {
  Apply(evaluator_.ReadingFailed(host_.Now()));
}

void OperatorAlarms::SetPolling(bool on) {
  if (on)
    tickTimer_->start();
  else
    tickTimer_->stop();
  Apply(evaluator_.SetPolling(on, host_.Now()));
}

void OperatorAlarms::Acknowledge() {
  Apply(evaluator_.Acknowledge(host_.Now()));
}

void OperatorAlarms::Apply(const std::vector<TAlarmEvent>& events) {
  for (const TAlarmEvent& event : events) {
    history_.Add(event);
    if (log_) log_->Write(event);
    if (host_.Event) host_.Event(event);
    if (hook_) {
      hook_->SetPort(host_.Port());
      hook_->Run(event);
    }
    if (event.Change == AlarmChange::Tripped) lastTrip_ = event;
  }
  const bool tripped = std::any_of(events.begin(), events.end(), [](const TAlarmEvent& e) {
    return e.Change == AlarmChange::Tripped;
  });
  if (tripped && Sounding() && WindowOutOfSight()) ShowTrayMessage();
  if (!events.empty()) Present();
}

void OperatorAlarms::Present() {
  const bool sounding = Sounding();
  if (sounding && settings_.Sound) {
    if (!player_)
      player_ =
          MakeAlarmPlayer([this](const std::string& m) { TellOnce(QString::fromStdString(m)); });
    player_->Play();
  } else if (player_) {
    player_->Stop();
  }
  if (historyWindow_) historyWindow_->Refresh(sounding);
  const bool changed = sounding != wasSounding_ || sounding;  // a new trip changes the text
  if (sounding != wasSounding_) {
    wasSounding_ = sounding;
    acknowledgeButton_->setVisible(sounding);
    host_.Window->setWindowTitle(sounding ? tr("ALARM - %1").arg(baseTitle_) : baseTitle_);
    if (sounding) {
      host_.PaintFlash(flash_);
      flash_->show();  // lit at once: the trip must not wait half a second to show
      flashTimer_->start();
    } else {
      flashTimer_->stop();
      flash_->hide();
      if (tray_) tray_->hide();
    }
  }
  if (changed && host_.Changed) host_.Changed();
}

QString OperatorAlarms::AlarmText() const {
  if (!Sounding()) return {};
  QString text = tr("ALARM: %1 %2")
                     .arg(AlarmSourceCaption(lastTrip_.Source),
                          AlarmValueCaption(lastTrip_.Source, lastTrip_.Value));
  if (lastTrip_.Source != AlarmSource::Monitor)
    text += tr(" (level %1)").arg(AlarmValueCaption(lastTrip_.Source, lastTrip_.Level));
  return text + QLatin1Char('.');
}

bool OperatorAlarms::Flashing() const {
  return flashTimer_->isActive();
}

bool OperatorAlarms::FlashLit() const {
  return !flash_->isHidden();
}

void OperatorAlarms::ShowHistory() {
  if (!historyWindow_)
    historyWindow_ = new AlarmHistoryWindow(
        history_, [this] { Acknowledge(); }, host_.Window);
  historyWindow_->Refresh(Sounding());
  historyWindow_->show();
  historyWindow_->raise();
  historyWindow_->activateWindow();
}

void OperatorAlarms::Shutdown() {
  shutDown_ = true;
  tickTimer_->stop();
  flashTimer_->stop();
  if (player_) player_->Stop();
  if (tray_) tray_->hide();
}

bool OperatorAlarms::WindowOutOfSight() const {
  return !host_.Window->isVisible() || host_.Window->isMinimized();
}

void OperatorAlarms::ShowTrayMessage() {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    TellOnce(
        tr("No system tray: an alarm cannot be announced while the window is minimised "
           "or hidden."));
    return;
  }
  if (!tray_) {
    QIcon icon = host_.Window->windowIcon();
    if (icon.isNull()) icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    tray_ = new QSystemTrayIcon(icon, this);
    tray_->setToolTip(baseTitle_);
    connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] {
      host_.Window->showNormal();
      host_.Window->raise();
      host_.Window->activateWindow();
    });
  }
  tray_->show();
  tray_->showMessage(host_.Window->windowTitle(), AlarmText(), QSystemTrayIcon::Critical,
                     kTrayMessageMs);
}

bool OperatorAlarms::eventFilter(QObject* watched, QEvent* event) {
  if (watched == host_.Panel && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    Acknowledge();
    return true;
  }
  if (watched == host_.Window && !shutDown_ && Sounding() &&
      ((event->type() == QEvent::WindowStateChange && host_.Window->isMinimized()) ||
       event->type() == QEvent::Hide))
    ShowTrayMessage();
  return QObject::eventFilter(watched, event);
}

void OperatorAlarms::Tell(const QString& message) {
  if (host_.Note) host_.Note(message);
}

void OperatorAlarms::TellOnce(const QString& message) {
  if (std::find(told_.begin(), told_.end(), message) != told_.end()) return;
  told_.push_back(message);
  Tell(message);
}

}  // namespace vemo
