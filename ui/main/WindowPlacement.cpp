// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdint>

namespace vemo {
namespace {

// How much of the window's top edge must lie on a screen for the user to reach its title
// bar and drag it.
constexpr int64_t kMinVisible = 48;

// The length of [start, start + length) that falls within [from, from + span).
int64_t Overlap(int64_t start, int64_t length, int64_t from, int64_t span) {
  return std::max<int64_t>(0, std::min(start + length, from + span) - std::max(start, from));
}

bool TitleBarOn(const QRect& screen, int64_t x, int64_t y, QSize size) {
  const int64_t needed = std::min<int64_t>(kMinVisible, size.width());
  return y >= screen.top() && y + kMinVisible <= int64_t{screen.top()} + screen.height() &&
         Overlap(x, size.width(), screen.left(), screen.width()) >= needed;
}

// The stored value when the window fits before the far edge, else centred in extent.
int64_t FitOrCentre(int64_t stored, int64_t length, int64_t extent) {
  return stored + length < extent ? stored : extent / 2 - length / 2;
}

}  // namespace

QPoint MainWindowPosition(int left, int top, QSize size, const QRect& primary,
                          const QList<QRect>& screens) {
  int64_t x = FitOrCentre(left, size.width(), primary.width());
  int64_t y = FitOrCentre(top, size.height(), primary.height());
  const bool visible = std::any_of(screens.begin(), screens.end(),
                                   [&](const QRect& s) { return TitleBarOn(s, x, y, size); });
  if (!visible) {
    const int64_t centreX = int64_t{primary.left()} + primary.width() / 2 - size.width() / 2;
    const int64_t centreY = int64_t{primary.top()} + primary.height() / 2 - size.height() / 2;
    if (Overlap(x, size.width(), primary.left(), primary.width()) <
        std::min<int64_t>(kMinVisible, size.width()))
      x = std::max<int64_t>(primary.left(), centreX);
    if (y < primary.top() || y + kMinVisible > int64_t{primary.top()} + primary.height())
      y = std::max<int64_t>(primary.top(), centreY);
  }
  return {static_cast<int>(x), static_cast<int>(y)};
}

TDesktopScreens DesktopScreens(bool available) {
  const auto area = [available](const QScreen* s) {
    return available ? s->availableGeometry() : s->geometry();
  };
  TDesktopScreens d;
  const QScreen* primary = QGuiApplication::primaryScreen();
  d.Primary = primary ? area(primary) : QRect(0, 0, 1024, 768);
  for (const QScreen* s : QGuiApplication::screens()) d.All.append(area(s));
  if (d.All.isEmpty()) d.All.append(d.Primary);
  return d;
}

}  // namespace vemo
