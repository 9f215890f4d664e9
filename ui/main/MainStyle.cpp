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
