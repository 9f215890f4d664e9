// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's icon: an analog power meter with its needle in the upper part of the scale,
// drawn at any size. The about box shows it; the main window uses it as the window icon.

#include <QIcon>
#include <QPixmap>

namespace vemo {

// The meter glyph on a transparent square of size x size pixels.
QPixmap ProgramIconPixmap(int size);

// The icon in the usual sizes from 16 to 256 pixels.
QIcon ApplicationIcon();

}  // namespace vemo
