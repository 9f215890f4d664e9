// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/MainStyle.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPalette>

namespace vemo {

QFont ReadoutFont(int pixelSize) {
  QFont font;
  const QStringList families = QFontDatabase::families();
  if (families.contains(QStringLiteral("Courier New"), Qt::CaseInsensitive))
    font = QFont(QStringLiteral("Courier New"));
  else if (families.contains(QStringLiteral("Liberation Mono"), Qt::CaseInsensitive))
    font = QFont(QStringLiteral("Liberation Mono"));
  else
    font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setBold(true);
  font.setPixelSize(pixelSize);
  return font;
}

QColor ReadoutTextColour(bool stale) {
  return stale ? QColor(0x90, 0x90, 0x90) : QColor(0x00, 0xff, 0x00);
}

QString ReadoutStyleSheet(bool stale) {
  return QStringLiteral(
             "QLineEdit { background-color: black; color: %1; border: 1px solid #4a4a4a;"
             " border-radius: 2px; padding: 0px 3px; selection-background-color: #1f6f1f;"
             " selection-color: white; }")
      .arg(ReadoutTextColour(stale).name());
}

QColor ButtonFace() {
  return QApplication::palette().color(QPalette::Button);
}

void SetIndicatorColour(QLabel* panel, const QColor& colour) {
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, colour);
  palette.setColor(QPalette::WindowText, colour.lightness() < 110 || colour == QColor(255, 0, 0)
                                             ? QColor(Qt::white)
                                             : QApplication::palette().color(QPalette::ButtonText));
  panel->setPalette(palette);
}

QColor IndicatorColour(const QLabel* panel) {
  return panel->palette().color(QPalette::Window);
}

void StylePanel(QWidget* panel) {
  panel->setAutoFillBackground(true);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
  panel->setPalette(palette);
}

}  // namespace vemo
