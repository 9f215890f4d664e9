// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The trend window: the chart with its span, Follow and scroll bar, the statistics since
// the last reset with their Reset button, and export of the visible span as PNG or CSV.
// A non-modal top-level window owned by the main window, which feeds it: the window
// repaints only while shown.

#include <QWidget>

#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace vemo {

class Clock;
class ReadingHistory;
class RunningStatistics;
class TrendChart;

// The VSWR above which the statistics count the time.
inline constexpr float kTrendVSWRThreshold = 2;

class TrendWindow : public QWidget {
  Q_OBJECT

 public:
  // Every file dialog of the window goes through one function: caption, suggested path,
  // filter; it returns the path chosen or an empty string. Tests install their own.
  using FileDialogFn = std::function<QString(QWidget* parent, const QString& caption,
                                             const QString& suggested, const QString& filter)>;
  static void SetFileDialogHook(FileDialogFn hook);

  TrendWindow(const ReadingHistory& history, RunningStatistics& stats, const Clock& clock,
              QWidget* parent = nullptr);

  TrendChart* Chart() const { return chart_; }
  void SetFullScale(double watts);
  // New readings (or a gap, or a reset) are in: updates what is shown, if anything is.
  void DataChanged();

  // The span shown in ms; 0 is "All".
  qint64 SpanMs() const;
  void SetSpanMs(qint64 spanMs);

  // Write the visible span; false when that failed, and StatusText says why.
  bool ExportPng(const QString& path);
  bool ExportCsv(const QString& path);
  // The outcome of the last export.
  QString StatusText() const;

  void ExportPngClick();
  void ExportCsvClick();
  void ResetClick();
  // An alarm waits to be acknowledged: the Acknowledge button shows.
  void SetUnacknowledged(bool waiting);

  // The text summary, for screen readers and the keyboard: each statistic by row
  // (forward, reflected, VSWR) and column (minimum, maximum, mean), the time above the
  // VSWR threshold, and the cursor's read-out. Read-only fields in the tab chain.
  QLineEdit* Statistic(int row, int column) const { return statsCells_[row][column]; }
  QLineEdit* TimeAbove() const { return edtTimeAbove_; }
  QLineEdit* CursorField() const { return edtCursor_; }

  QComboBox* cmboSpan = nullptr;
  QToolButton* btnFollow = nullptr;
  QScrollBar* scrollTime = nullptr;
  QPushButton* btnReset = nullptr;
  QPushButton* btnExportPng = nullptr;
  QPushButton* btnExportCsv = nullptr;
  QPushButton* btnAcknowledge = nullptr;

 Q_SIGNALS:
  // The user closed the window.
  void Closed();
  // The user acknowledged the alarms from here.
  void Acknowledge();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateStatistics(QGridLayout* grid);
  void UpdateStatistics();
  void UpdateControls();
  void UpdateCursor();
  void SpanChosen(int index);
  void ScrollBarMoved(int value);
  QString SaveFileName(const QString& caption, const QString& extension, const QString& filter);

  const ReadingHistory& history_;
  RunningStatistics& stats_;
  TrendChart* chart_ = nullptr;
  QLineEdit* statsCells_[3][3] = {};
  QLabel* lblTimeAboveCaption_ = nullptr;
  QLineEdit* edtTimeAbove_ = nullptr;
  QLineEdit* edtCursor_ = nullptr;
  QLabel* lblStatus_ = nullptr;
  bool updatingControls_ = false;
};

}  // namespace vemo
