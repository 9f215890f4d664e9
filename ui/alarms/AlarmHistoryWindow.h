// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The alarm history window: one row per alarm of this run (time tripped, source, value,
// time acknowledged, time cleared), newest at the bottom, a button to acknowledge, and
// above the table what the operator should know about the alarms' annunciation.

#include <QWidget>

#include "station/AlarmEvaluator.h"

#include <functional>

class QLabel;
class QPushButton;
class QTableWidget;

namespace vemo {

class AlarmHistory;

class AlarmHistoryWindow : public QWidget {
  Q_OBJECT

 public:
  AlarmHistoryWindow(const AlarmHistory& history, std::function<void()> acknowledge,
                     QWidget* parent = nullptr);

  // Shows the history as it is now; an alarm not yet acknowledged enables the button.
  void Refresh(bool unacknowledged);
  // A lasting remark above the table ("no audio device"); empty hides it.
  void SetNote(const QString& note);

  QTableWidget* Table() const { return table_; }
  QPushButton* AcknowledgeButton() const { return acknowledge_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  const AlarmHistory& history_;
  QTableWidget* table_ = nullptr;
  QPushButton* acknowledge_ = nullptr;
  QLabel* note_ = nullptr;
};

// The source as the history shows it: "Monitor alarm", "VSWR", ...
QString AlarmSourceCaption(AlarmSource source);
// The value with its unit: "2.31", "35.0 W", "12.0 s", "on".
QString AlarmValueCaption(AlarmSource source, double value);

}  // namespace vemo
