// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the main window opens, from the position stored in the settings file. Widget-free.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vemo {

// The window's top-left corner for the stored left and top, the window's size (with the
// meter, so that it fits either way), the primary screen and every screen.
// On each axis the stored value is kept when the window fits before the primary screen's
// far edge, and centred on the primary screen's size otherwise. A window that would then
// still not be visible on any screen (stored left of or above every screen, or on a screen
// that is gone) is centred on the primary screen on each axis where it lies outside it,
// so that it never reopens out of reach. Any int is safe: nothing overflows.
QPoint MainWindowPosition(int left, int top, QSize size, const QRect& primary,
                          const QList<QRect>& screens);

// The desktop's primary screen and every screen: their whole areas, or (available) the
// areas that panels and docks leave free. Without a screen, one of 1024 x 768.
struct TDesktopScreens {
  QRect Primary;
  QList<QRect> All;
};
TDesktopScreens DesktopScreens(bool available);

}  // namespace vemo
