// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/rig/SweepExport.h"

#include "ui/rig/SweepPlot.h"

#include <QFile>
#include <QPainter>
#include <QRegularExpression>

#include <cmath>

namespace vemo {

QString SweepFileName(const QString& band, const QDate& date, const QString& suffix) {
  QString safe = band;
  safe.replace(QRegularExpression("[^A-Za-z0-9._-]+"), "-");
  return "sweep-" + (safe.isEmpty() ? QString() : safe + "-") + date.toString(Qt::ISODate) + "." +
         suffix;
}

bool WriteSweepCsv(const QString& path, const std::vector<TSweepPoint>& points) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray text = "frequency_hz,forward_w,reflected_w,vswr\n";
  for (const TSweepPoint& p : points)
    text += QByteArray::number(static_cast<qlonglong>(p.FrequencyHz)) + ',' +
            QByteArray::number(p.Forward, 'g', 6) + ',' + QByteArray::number(p.Reflected, 'g', 6) +
            ',' + (std::isfinite(p.Vswr) ? QByteArray::number(p.Vswr, 'f', 4) : "inf") + '\n';
  return file.write(text) == text.size() && file.flush();
}

QImage RenderSweep(const SweepPlot& plot, const QString& band, const QDateTime& when,
                   const QString& monitor, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(plot.palette().color(QPalette::Base));
  QPainter p(&image);
  QFont title = p.font();
  title.setPointSizeF(title.pointSizeF() * 1.4);
  title.setBold(true);
  const QFontMetricsF fm(title);
  p.setFont(title);
  p.setPen(plot.palette().color(QPalette::Text));
  const QRectF head(16, 8, size.width() - 32, fm.height() * 1.2);
  p.drawText(head, Qt::AlignLeft | Qt::AlignVCenter,
             band.isEmpty() ? QObject::tr("SWR sweep") : QObject::tr("SWR sweep, %1").arg(band));
  p.setFont(plot.font());
  p.drawText(head, Qt::AlignRight | Qt::AlignVCenter,
             when.toString("yyyy-MM-dd HH:mm") + (monitor.isEmpty() ? "" : "   " + monitor));
  plot.Paint(p,
             QRectF(8, head.bottom() + 8, size.width() - 16, size.height() - head.bottom() - 16));
  return image;
}

}  // namespace vemo
