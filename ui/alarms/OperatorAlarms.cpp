// SPDX-License-Identifier: GPL-3.0-or-later
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
    : QObject(parent),
      host_(std::move(host)),
      baseTitle_(host_.Window->windowTitle()),
      shownTitle_(baseTitle_) {
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
    if (flash_->isHidden()) host_.PaintFlash(flash_, AlarmLook::FlashLit);
    flash_->setVisible(flash_->isHidden());
  });
  tickTimer_ = new QTimer(this);
  tickTimer_->setInterval(kTickMs);
  connect(tickTimer_, &QTimer::timeout, this, [this] { Apply(evaluator_.Tick(host_.Now())); });

  acknowledgeButton_ = new QPushButton(tr("Acknowledge"));
  acknowledgeButton_->setObjectName(QStringLiteral("btnAcknowledge"));
  acknowledgeButton_->setToolTip(
      tr("Acknowledge the alarms (Ctrl+K): silences them and releases those that have "
         "cleared; the record stays"));
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
  if (!log_ || log_->Path() != logPath) {
    Tell(QStringLiteral("log"), false, {});  // about the old file: no longer holds
    log_ = std::make_unique<AlarmLog>(logPath, [this](bool failing, const std::string& message) {
      Tell(QStringLiteral("log"), failing, message);
    });
  }
  if (settings.Hook.empty() || !hook_ || hook_->CommandLine() != settings.Hook)
    Tell(QStringLiteral("hook"), false, {});
  if (settings.Hook.empty()) {
    hook_.reset();
  } else if (!hook_ || hook_->CommandLine() != settings.Hook) {
    hook_ = std::make_unique<AlarmHook>(settings.Hook, host_.Port(),
                                        [this](bool failing, const std::string& message) {
                                          Tell(QStringLiteral("hook"), failing, message);
                                        });
  }
  Present();
}

void OperatorAlarms::SetLogPathOverride(const std::string& path) {
  logOverride_ = path;
  Configure(settings_);
}

void OperatorAlarms::SetBandLevels(const TAlarmLevels& levels) {
  Apply(evaluator_.SetLevels(levels, host_.Now()));
}

void OperatorAlarms::Reading(const TMonitorReading& reading, double fullScaleW) {
  Apply(evaluator_.Reading(host_.Now(), reading, fullScaleW));
}

void OperatorAlarms::SetBaseline(const TDriftBaseline& baseline) {
  if (!(baseline == evaluator_.Baseline())) Apply(evaluator_.SetBaseline(baseline, host_.Now()));
}

void OperatorAlarms::ReadingFailed() {
  Apply(evaluator_.ReadingFailed(host_.Now()));
}

void OperatorAlarms::SetPolling(bool on, int intervalMs) {
  // Said again while on (a new interval, another attempt to reach the monitor), the tick
  // must not start over: restarted often enough it would never come.
  if (!on)
    tickTimer_->stop();
  else if (!tickTimer_->isActive())
    tickTimer_->start();
  Apply(evaluator_.SetPolling(on, host_.Now(), intervalMs));
}

void OperatorAlarms::Acknowledge() {
  if (host_.Acknowledged) host_.Acknowledged();
  Apply(evaluator_.Acknowledge(host_.Now()));
}

void OperatorAlarms::TestAlarm() {
  Apply(evaluator_.TestAlarm(host_.Now()));
}

bool OperatorAlarms::Unacknowledged() const {
  return evaluator_.Sounding() || evaluator_.Any(AlarmState::Latched);
}

void OperatorAlarms::Apply(const std::vector<TAlarmEvent>& events) {
  if (host_.First && !events.empty()) host_.First(events);
  for (const TAlarmEvent& event : events) {
    history_.Add(event);
    if (log_) log_->Write(event);
    if (host_.Event) host_.Event(event);
    if (hook_) {
      hook_->SetPort(host_.Port());
      hook_->Run(event);
    }
  }
  const bool tripped = std::any_of(events.begin(), events.end(), [](const TAlarmEvent& e) {
    return e.Change == AlarmChange::Tripped;
  });
  if (tripped && Sounding()) {
    // The urgency hint: a taskbar without a tray still shows that the window wants us.
    if (!shutDown_) QApplication::alert(host_.Window);
    if (WindowOutOfSight()) ShowTrayMessage();
  }
  if (!events.empty()) Present();
}

void OperatorAlarms::Present() {
  const bool sounding = Sounding();
  if (sounding && settings_.Sound) {
    if (!player_)
      player_ = MakeAlarmPlayer([this](const std::string& m) {
        // Said once in the status line, then kept where the alarms are looked at.
        if (historyNote_.isEmpty()) Tell(QStringLiteral("audio"), false, m);
        historyNote_ = QString::fromStdString(m);
        if (historyWindow_) historyWindow_->SetNote(historyNote_);
      });
    player_->Play();
  } else if (player_) {
    player_->Stop();
  }
  const bool active = evaluator_.ActiveSources() != 0;
  const bool latched = evaluator_.Any(AlarmState::Latched);
  if (historyWindow_) historyWindow_->Refresh(Unacknowledged());
  acknowledgeButton_->setVisible(Unacknowledged());

  QString title = baseTitle_;
  if (sounding)
    title = tr("ALARM - %1").arg(baseTitle_);
  else if (active)
    title = tr("ALARM (acknowledged) - %1").arg(baseTitle_);
  else if (latched)
    title = tr("Alarm cleared, not acknowledged - %1").arg(baseTitle_);
  if (title != shownTitle_) {
    shownTitle_ = title;
    host_.Window->setWindowTitle(title);
  }

  if (sounding && !wasSounding_) {
    host_.PaintFlash(flash_, AlarmLook::FlashLit);
    flash_->setText(host_.Panel->text());
    flash_->show();  // lit at once: the trip must not wait half a second to show
    flashTimer_->start();
  } else if (!sounding) {
    flashTimer_->stop();
    if (active || latched) {
      flash_->setText(active ? host_.Panel->text() : tr("Cleared"));
      host_.PaintFlash(flash_, active ? AlarmLook::Active : AlarmLook::Latched);
      flash_->show();
    } else {
      flash_->hide();
    }
    if (!active && tray_) tray_->hide();
  }
  wasSounding_ = sounding;
  // The panel names every source while something is up; its own tip comes back after.
  if (active || latched) {
    if (!panelTip_) panelTip_ = host_.Panel->toolTip();
    host_.Panel->setToolTip(AlarmText());
  } else if (panelTip_) {
    host_.Panel->setToolTip(*panelTip_);
    panelTip_.reset();
  }
  if (host_.Changed) host_.Changed();
}

namespace {
// "VSWR 3.20 > 2.00", "Off the air 0 W < 50.0 W", "No reading 21.0 s > 20.0 s".
QString SourceState(const AlarmEvaluator& e, AlarmSource source) {
  const QString caption = AlarmSourceCaption(source);
  if (source == AlarmSource::Monitor || source == AlarmSource::Test) return caption;
  const bool below = source == AlarmSource::ForwardBelow || source == AlarmSource::OffAir;
  return QStringLiteral("%1 %2 %3 %4")
      .arg(caption, AlarmValueCaption(source, e.LatestValue(source)),
           below ? QStringLiteral("<") : QStringLiteral(">"),
           AlarmValueCaption(source, e.LevelOf(source)));
}
}  // namespace

QString OperatorAlarms::AlarmText() const {
  QStringList active, latched;
  for (int i = 0; i < kAlarmSourceCount; ++i) {
    const auto source = static_cast<AlarmSource>(i);
    if (evaluator_.IsActive(source))
      active.append(SourceState(evaluator_, source));
    else if (evaluator_.State(source) == AlarmState::Latched)
      latched.append(AlarmSourceCaption(source));
  }
  QStringList parts;
  if (!active.isEmpty())
    parts.append((Sounding() ? tr("ALARM: %1.") : tr("ALARM (acknowledged): %1."))
                     .arg(active.join(QStringLiteral("; "))));
  if (!latched.isEmpty())
    parts.append(tr("Cleared, not acknowledged: %1.").arg(latched.join(QStringLiteral(", "))));
  return parts.join(QLatin1Char(' '));
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
  historyWindow_->SetNote(historyNote_);
  historyWindow_->Refresh(Unacknowledged());
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
    Tell(QStringLiteral("tray"), false,
         "No system tray: an alarm is announced by the window's urgency hint only while the "
         "window is minimised or hidden.");
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

void OperatorAlarms::Tell(const QString& topic, bool failing, const std::string& message) {
  // A failure holds until the part works again; news of that, or of anything else, passes.
  if (host_.Note) host_.Note(topic, QString::fromStdString(message), !failing);
}

}  // namespace vemo
