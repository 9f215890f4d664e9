// SPDX-License-Identifier: GPL-3.0-or-later
// The trend window: View, "Trend", and its place, size and span in the settings file.
#include <QAction>
#include <QTimer>

#include <algorithm>
#include <climits>

#include "monitor/VSWRMon.h"
#include "platform/Clock.h"
#include "platform/ProfileFile.h"
#include "ui/alarms/OperatorAlarms.h"
#include "ui/main/Main.h"
#include "ui/main/WindowPlacement.h"
#include "ui/trend/TrendWindow.h"

namespace vemo {

namespace {
constexpr char kSection[] = "Trend";
constexpr int kMinWidth = 400;
constexpr int kMinHeight = 300;
}  // namespace

void TFormMain::ReadTrendSettings(const ProfileFile& ini) {
  // The span in seconds; 0 is "All".
  const int span = ini.ReadInteger(kSection, "Span", static_cast<int>(trendSpanMs_ / 1000));
  if (span >= 0) trendSpanMs_ = span * 1000LL;
  if (ini.ValueExists(kSection, "Left") && ini.ValueExists(kSection, "Top"))
    trendGeometry_ =
        QRect(ini.ReadInteger(kSection, "Left", 0), ini.ReadInteger(kSection, "Top", 0),
              ini.ReadInteger(kSection, "Width", 760), ini.ReadInteger(kSection, "Height", 480));
  if (ini.ReadBool(kSection, "Open", false))
    // Once the main window is up, so that the trend window opens beside it, not under it.
    QTimer::singleShot(0, this, [this] { Guarded([this] { ShowTrend(); }); });
}

void TFormMain::WriteTrendSettings(ProfileFile& ini) const {
  const QRect g = trendWindow_ ? QRect(trendWindow_->pos(), trendWindow_->size()) : trendGeometry_;
  if (!g.isNull()) {
    ini.WriteInteger(kSection, "Left", g.x());
    ini.WriteInteger(kSection, "Top", g.y());
    ini.WriteInteger(kSection, "Width", g.width());
    ini.WriteInteger(kSection, "Height", g.height());
  }
  const qint64 span = trendWindow_ ? trendWindow_->SpanMs() : trendSpanMs_;
  ini.WriteInteger(kSection, "Span", static_cast<int>(std::min<qint64>(span / 1000, INT_MAX)));
  ini.WriteBool(kSection, "Open", trendWindow_ && trendWindow_->isVisible());
}

void TFormMain::ShowTrend() {
  if (formClosed_) return;
  if (!trendWindow_) {
    trendWindow_ = new TrendWindow(History_, Stats_, *clock_, this);
    trendWindow_->SetSpanMs(trendSpanMs_);
    if (Monitor_) trendWindow_->SetFullScale(Monitor_->FullScale());
    connect(trendWindow_, &TrendWindow::Closed, this, [this] { mnuViewTrend->setChecked(false); });
    connect(trendWindow_, &TrendWindow::Acknowledge, this, [this] { alarms_->Acknowledge(); });
    trendWindow_->SetUnacknowledged(alarms_->Unacknowledged());
    if (!trendGeometry_.isNull()) {
      const TDesktopScreens screens = DesktopScreens(true);
      const QRect& screen = screens.Primary;
      // Never larger than the screen, so that it can be placed on it.
      const QSize size(
          std::clamp(trendGeometry_.width(), kMinWidth, std::max(kMinWidth, screen.width())),
          std::clamp(trendGeometry_.height(), kMinHeight, std::max(kMinHeight, screen.height())));
      trendWindow_->resize(size);
      trendWindow_->move(
          MainWindowPosition(trendGeometry_.x(), trendGeometry_.y(), size, screen, screens.All));
    }
  }
  trendWindow_->show();
  trendWindow_->raise();
  mnuViewTrend->setChecked(true);
}

void TFormMain::mnuViewTrendClick() {
  if (trendWindow_ && trendWindow_->isVisible())
    trendWindow_->close();
  else
    ShowTrend();
}

}  // namespace vemo
