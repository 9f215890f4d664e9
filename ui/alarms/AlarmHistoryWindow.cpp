// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/AlarmHistoryWindow.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include "station/AlarmLog.h"
#include "ui/alarms/AlarmHistory.h"
#include "ui/controls/AccessibleWindow.h"

namespace vemo {

namespace {
enum Column { kTripped, kSource, kValue, kAcknowledged, kCleared, kColumns };

QString TimeCaption(qint64 ms) {
  if (ms < 0) return {};
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}
}  // namespace

QString AlarmSourceCaption(AlarmSource source) {
  switch (source) {
    case AlarmSource::Monitor:
      return QObject::tr("Monitor alarm");
    case AlarmSource::VSWRAbove:
      return QObject::tr("VSWR");
    case AlarmSource::ReflectedAbove:
      return QObject::tr("Reflected power");
    case AlarmSource::ForwardBelow:
      return QObject::tr("Forward power");
    case AlarmSource::OffAir:
      return QObject::tr("Off the air");
    case AlarmSource::LinkLost:
      return QObject::tr("No reading");
    case AlarmSource::ForwardDrift:
      return QObject::tr("Forward power drift");
    case AlarmSource::ReflectedDrift:
      return QObject::tr("Reflected power drift");
    case AlarmSource::VSWRDrift:
      return QObject::tr("VSWR drift");
    case AlarmSource::Test:
      return QObject::tr("Test alarm");
  }
  return {};
}

QString AlarmValueCaption(AlarmSource source, double value) {
  const QString text = QString::fromStdString(AlarmValueText(source, value));
  switch (source) {
    case AlarmSource::Monitor:
      return value != 0 ? QObject::tr("on") : QObject::tr("off");
    case AlarmSource::VSWRAbove:
    case AlarmSource::VSWRDrift:
      return text;
    case AlarmSource::ReflectedAbove:
    case AlarmSource::ForwardBelow:
    case AlarmSource::OffAir:
    case AlarmSource::ForwardDrift:
    case AlarmSource::ReflectedDrift:
      return text + QStringLiteral(" W");
    case AlarmSource::LinkLost:
      return text + QStringLiteral(" s");
    case AlarmSource::Test:
      return QObject::tr("test");
  }
  return text;
}

AlarmHistoryWindow::AlarmHistoryWindow(const AlarmHistory& history,
                                       std::function<void()> acknowledge, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history) {
  setObjectName(QStringLiteral("AlarmHistoryWindow"));
  setWindowTitle(tr("Alarm History"));
  table_ = new QTableWidget(0, kColumns, this);
  table_->setObjectName(QStringLiteral("AlarmHistoryTable"));
  table_->setAccessibleName(tr("Alarm history"));
  table_->setHorizontalHeaderLabels(
      {tr("Tripped"), tr("Source"), tr("Value"), tr("Acknowledged"), tr("Cleared")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  acknowledge_ = new QPushButton(tr("&Acknowledge"), this);
  acknowledge_->setObjectName(QStringLiteral("btnAcknowledgeAlarm"));
  connect(acknowledge_, &QPushButton::clicked, this, [acknowledge] { acknowledge(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(acknowledge_);
  note_ = new QLabel(this);
  note_->setObjectName(QStringLiteral("AlarmHistoryNote"));
  note_->setWordWrap(true);
  note_->hide();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(note_);
  layout->addWidget(table_);
  layout->addLayout(buttons);
  resize(640, 300);
  Refresh(false);
}

void AlarmHistoryWindow::SetNote(const QString& note) {
  note_->setText(note);
  note_->setVisible(!note.isEmpty());
}

void AlarmHistoryWindow::Refresh(bool unacknowledged) {
  acknowledge_->setEnabled(unacknowledged);
  const auto& records = history_.Records();
  const bool atEnd = table_->rowCount() == 0 ||
                     table_->verticalScrollBar()->value() == table_->verticalScrollBar()->maximum();
  table_->setRowCount(static_cast<int>(records.size()));
  for (int row = 0; row < table_->rowCount(); ++row) {
    const TAlarmRecord& r = records[static_cast<size_t>(row)];
    QString acknowledged = TimeCaption(r.AcknowledgedMs);
    if (r.AcknowledgedMs < 0 && r.ClearedMs >= 0) acknowledged = tr("(not acknowledged)");
    const QString cells[kColumns] = {TimeCaption(r.TrippedMs), AlarmSourceCaption(r.Source),
                                     AlarmValueCaption(r.Source, r.Value), acknowledged,
                                     TimeCaption(r.ClearedMs)};
    for (int column = 0; column < kColumns; ++column) {
      QTableWidgetItem* item = table_->item(row, column);
      if (!item) table_->setItem(row, column, item = new QTableWidgetItem);
      if (item->text() != cells[column]) item->setText(cells[column]);
    }
  }
  table_->resizeColumnsToContents();
  if (atEnd) table_->scrollToBottom();  // follow new alarms unless the user scrolled back
}

void AlarmHistoryWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  MakeAccessible(this);
}

}  // namespace vemo
