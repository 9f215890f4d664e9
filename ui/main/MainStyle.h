// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's look: the read-out font and the colours of panels and indicators.

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

namespace vemo {

// Bold monospace for the read-outs: "Courier New" where it is installed, else a
// metric-compatible face ("Liberation Mono"), else the system's fixed font.
QFont ReadoutFont(int pixelSize);

// The read-outs' text: lime on black while they show the latest reading; a readable grey
// once a reading has failed and they still show the last good one.
QColor ReadoutTextColour(bool stale);
QString ReadoutStyleSheet(bool stale);

// The system's button-face colour: the indicators' colour when they show nothing.
QColor ButtonFace();
inline QColor ActiveGreen() {
  return QColor(0, 128, 0);
}
inline QColor AlarmRed() {
  return QColor(255, 0, 0);
}

// Fills an indicator panel with colour, with its caption in a readable contrast.
void SetIndicatorColour(QLabel* panel, const QColor& colour);
QColor IndicatorColour(const QLabel* panel);

void StylePanel(QWidget* panel);

}  // namespace vemo
