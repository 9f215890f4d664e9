// SPDX-License-Identifier: GPL-3.0-or-later
#include "station/IsoTime.h"

#include <QDateTime>

#include <atomic>
#include <cstdlib>

namespace vemo {

namespace {
std::atomic<bool> inUtc{false};
}  // namespace

std::string IsoTime(qint64 msSinceEpoch) {
  if (inUtc.load(std::memory_order_relaxed))
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC)
        .toString(Qt::ISODateWithMs)
        .toStdString();
  // Qt writes a local time without its offset, and an offset of zero as "Z"; local time
  // always carries its offset here, so that it never reads as a choice of UTC.
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
  const int offset = local.offsetFromUtc();
  const int minutes = std::abs(offset) / 60;
  return local.toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")).toStdString() +
         QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+', minutes / 60, minutes % 60)
             .toStdString();
}

void SetIsoTimesInUtc(bool utc) {
  inUtc.store(utc, std::memory_order_relaxed);
}

bool IsoTimesInUtc() {
  return inUtc.load(std::memory_order_relaxed);
}

}  // namespace vemo
