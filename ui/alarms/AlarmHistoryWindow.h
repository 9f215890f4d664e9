#pragma once
// The alarm history window: one row per alarm of this run (time tripped, source, value,
// time acknowledged, time cleared), newest at the bottom, and a button to acknowledge.

#include <QWidget>

#include "station/AlarmEvaluator.h"

#include <functional>

class QPushButton;
class QTableWidget;

namespace vemo {

class AlarmHistory;

class AlarmHistoryWindow : public QWidget {
  Q_OBJECT

 public:
  AlarmHistoryWindow(const AlarmHistory& history, std::function<void()> acknowledge,
                     QWidget* parent = nullptr);

  // Shows the history as it is now; sounding enables the button.
  void Refresh(bool sounding);

  QTableWidget* Table() const { return table_; }
  QPushButton* AcknowledgeButton() const { return acknowledge_; }

 private:
  const AlarmHistory& history_;
  QTableWidget* table_ = nullptr;
  QPushButton* acknowledge_ = nullptr;
};

// The source as the history shows it: "Monitor alarm", "VSWR", ...
QString AlarmSourceCaption(AlarmSource source);
// The value with its unit: "2.31", "35.0 W", "12.0 s", "on".
QString AlarmValueCaption(AlarmSource source, double value);

}  // namespace vemo
