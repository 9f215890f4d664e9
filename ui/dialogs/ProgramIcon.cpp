// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/dialogs/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>

#include <cmath>

namespace vemo {
namespace {

// The dial's sweep, in Qt's angles (degrees counter-clockwise from three o'clock).
constexpr double kStartAngle = 150;
constexpr double kSweep = -120;
constexpr double kNeedleFraction = 0.72;

QPointF OnArc(const QPointF& centre, double radius, double fraction) {
  const double radians = (kStartAngle + kSweep * fraction) * M_PI / 180.0;
  return centre + QPointF(radius * std::cos(radians), -radius * std::sin(radians));
}

}  // namespace

QPixmap ProgramIconPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;

  // Meter case.
  const QRectF body(s * 0.03, s * 0.03, s * 0.94, s * 0.94);
  QLinearGradient caseShade(body.topLeft(), body.bottomLeft());
  caseShade.setColorAt(0, QColor(70, 82, 100));
  caseShade.setColorAt(1, QColor(28, 34, 44));
  p.setPen(QPen(QColor(15, 18, 24), std::max(1.0, s / 48)));
  p.setBrush(caseShade);
  p.drawRoundedRect(body, s * 0.16, s * 0.16);

  // Dial face.
  const QRectF face(s * 0.12, s * 0.14, s * 0.76, s * 0.62);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(246, 242, 226));
  p.drawRoundedRect(face, s * 0.08, s * 0.08);

  // Scale: green for the safe part, amber, then red where a high VSWR lies.
  const QPointF pivot(s * 0.5, s * 0.70);
  const double radius = s * 0.40;
  const QRectF arcBox(pivot.x() - radius, pivot.y() - radius, 2 * radius, 2 * radius);
  const double band = std::max(1.5, s * 0.06);
  struct Zone {
    double from, to;
    QColor colour;
  };
  for (const Zone& z : {Zone{0.0, 0.6, QColor(46, 160, 67)}, Zone{0.6, 0.8, QColor(230, 170, 30)},
                        Zone{0.8, 1.0, QColor(210, 45, 40)}}) {
    p.setPen(QPen(z.colour, band, Qt::SolidLine, Qt::FlatCap));
    p.drawArc(arcBox, int((kStartAngle + kSweep * z.from) * 16),
              int(kSweep * (z.to - z.from) * 16));
  }
  if (size >= 24) {
    p.setPen(QPen(QColor(40, 40, 40), std::max(1.0, s / 64), Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i <= 6; ++i) {
      const double f = i / 6.0;
      p.drawLine(OnArc(pivot, radius - band * 0.6, f), OnArc(pivot, radius - band * 1.8, f));
    }
  }

  // Needle and pivot.
  p.setPen(QPen(QColor(20, 20, 20), std::max(1.2, s / 28), Qt::SolidLine, Qt::RoundCap));
  p.drawLine(pivot, OnArc(pivot, radius * 0.95, kNeedleFraction));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(20, 20, 20));
  p.drawEllipse(pivot, s * 0.06, s * 0.06);

  // Two connectors under the dial: the meter sits in line on the feeder.
  if (size >= 32) {
    p.setBrush(QColor(190, 190, 195));
    const double w = s * 0.14, h = s * 0.08, y = s * 0.81;
    p.drawRoundedRect(QRectF(s * 0.22, y, w, h), s * 0.02, s * 0.02);
    p.drawRoundedRect(QRectF(s * 0.64, y, w, h), s * 0.02, s * 0.02);
  }
  return pixmap;
}

QIcon ApplicationIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ProgramIconPixmap(size));
  return icon;
}

}  // namespace vemo
