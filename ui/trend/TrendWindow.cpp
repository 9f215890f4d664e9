// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/trend/TrendWindow.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

#include "station/ReadingHistory.h"
#include "station/Readout.h"
#include "ui/controls/AccessibleWindow.h"
#include "ui/trend/TrendChart.h"
#include "ui/trend/TrendExport.h"

namespace vemo {

namespace {

TrendWindow::FileDialogFn& FileDialogHook() {
  static TrendWindow::FileDialogFn hook;
  return hook;
}

QString Value(const char* format, double v) {
  return QString::fromStdString(FormatNumber(format, v)).trimmed();
}

QString Duration(qint64 ms) {
  const qint64 s = ms / 1000;
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, QChar('0'))
      .arg(s % 60, 2, 10, QChar('0'));
}

// A span reached by zooming is in no list item; the box shows it as its placeholder.
QString SpanText(qint64 ms) {
  if (ms >= 3'600'000) return QObject::tr("%1 h").arg(static_cast<double>(ms) / 3.6e6, 0, 'g', 3);
  if (ms >= 60'000) return QObject::tr("%1 min").arg(static_cast<double>(ms) / 6e4, 0, 'g', 3);
  return QObject::tr("%1 s").arg(static_cast<double>(ms) / 1e3, 0, 'g', 3);
}

// A value that reads like a label but that Tab reaches and a screen reader reads with
// its name.
QLineEdit* NewReadOnlyField(const QString& name, QWidget* parent) {
  auto* field = new QLineEdit(parent);
  field->setReadOnly(true);
  field->setFrame(false);
  // As tall as the labels beside it, so that the window keeps its smallest size.
  field->setMaximumHeight(field->fontMetrics().height() + 2);
  field->setAccessibleName(name);
  QPalette palette = field->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  field->setPalette(palette);
  return field;
}

}  // namespace

void TrendWindow::SetFileDialogHook(FileDialogFn hook) {
  FileDialogHook() = std::move(hook);
}

TrendWindow::TrendWindow(const ReadingHistory& history, RunningStatistics& stats,
                         const Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history), stats_(stats) {
  setWindowTitle(tr("Trend"));
  chart_ = new TrendChart(history, clock, this);

  cmboSpan = new QComboBox(this);
  cmboSpan->addItems({tr("1 min"), tr("10 min"), tr("1 h"), tr("24 h"), tr("All")});
  btnFollow = new QToolButton(this);
  btnFollow->setText(tr("Follow"));
  btnFollow->setCheckable(true);
  btnFollow->setToolTip(tr("Keep the newest reading in view"));
  btnExportPng = new QPushButton(tr("Export PNG..."), this);
  btnExportCsv = new QPushButton(tr("Export CSV..."), this);
  scrollTime = new QScrollBar(Qt::Horizontal, this);
  // The window may be the one in front when an alarm trips.
  btnAcknowledge = new QPushButton(tr("Acknowledge"), this);
  btnAcknowledge->setToolTip(tr("Acknowledge the alarms (Ctrl+K)"));
  btnAcknowledge->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(tr("Span:"), this));
  top->addWidget(cmboSpan);
  top->addWidget(btnFollow);
  top->addStretch(1);
  top->addWidget(btnAcknowledge);
  top->addWidget(btnExportPng);
  top->addWidget(btnExportCsv);

  auto* box = new QGroupBox(tr("Statistics since reset"), this);
  auto* grid = new QGridLayout(box);
  CreateStatistics(grid);
  lblStatus_ = new QLabel(this);
  lblStatus_->setWordWrap(true);
  edtCursor_ = NewReadOnlyField(tr("Cursor read-out"), this);
  edtCursor_->setPlaceholderText(tr("Point at the chart, or Tab to it and use the arrow keys"));
  auto* cursorRow = new QHBoxLayout;
  cursorRow->addWidget(new QLabel(tr("Cursor:"), this));
  cursorRow->addWidget(edtCursor_, 1);
  auto* side = new QVBoxLayout;
  side->addLayout(cursorRow);
  side->addWidget(lblStatus_, 1);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(box);
  bottom->addLayout(side, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(chart_, 1);
  layout->addWidget(scrollTime);
  layout->addLayout(bottom);

  connect(cmboSpan, &QComboBox::activated, this, &TrendWindow::SpanChosen);
  connect(btnFollow, &QToolButton::clicked, this, [this](bool on) {
    chart_->View().SetFollow(on, chart_->NowMs());
    chart_->update();
    UpdateControls();
  });
  connect(scrollTime, &QScrollBar::valueChanged, this, &TrendWindow::ScrollBarMoved);
  connect(chart_, &TrendChart::ViewChanged, this, &TrendWindow::UpdateControls);
  connect(chart_, &TrendChart::CursorMoved, this, &TrendWindow::UpdateCursor);
  connect(btnReset, &QPushButton::clicked, this, &TrendWindow::ResetClick);
  connect(btnExportPng, &QPushButton::clicked, this, &TrendWindow::ExportPngClick);
  connect(btnExportCsv, &QPushButton::clicked, this, &TrendWindow::ExportCsvClick);
  connect(btnAcknowledge, &QPushButton::clicked, this, &TrendWindow::Acknowledge);

  resize(760, 480);
  SetSpanMs(kTrendSpansMs[1]);
  UpdateStatistics();
}

void TrendWindow::CreateStatistics(QGridLayout* grid) {
  const QString columns[] = {tr("Minimum"), tr("Maximum"), tr("Mean")};
  const QString rows[] = {tr("Forward"), tr("Reflected"), tr("VSWR")};
  for (int c = 0; c < 3; ++c)
    grid->addWidget(new QLabel(columns[c], this), 0, c + 1, Qt::AlignRight);
  for (int r = 0; r < 3; ++r) {
    grid->addWidget(new QLabel(rows[r], this), r + 1, 0);
    for (int c = 0; c < 3; ++c) {
      statsCells_[r][c] =
          NewReadOnlyField(rows[r] + QStringLiteral(" ") + columns[c].toLower(), this);
      statsCells_[r][c]->setMinimumWidth(64);
      statsCells_[r][c]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      grid->addWidget(statsCells_[r][c], r + 1, c + 1);
    }
  }
  lblTimeAboveCaption_ = new QLabel(this);
  grid->addWidget(lblTimeAboveCaption_, 4, 0, 1, 2);
  edtTimeAbove_ = NewReadOnlyField(QString(), this);
  edtTimeAbove_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(edtTimeAbove_, 4, 2);
  btnReset = new QPushButton(tr("Reset"), this);
  grid->addWidget(btnReset, 4, 3);
}

void TrendWindow::SetFullScale(double watts) {
  chart_->SetFullScale(watts);
  if (isVisible()) UpdateStatistics();
}

void TrendWindow::DataChanged() {
  // A hidden window costs nothing; a paused chart keeps its picture.
  if (!isVisible()) return;
  if (chart_->View().Follow()) chart_->update();
  UpdateStatistics();
  UpdateControls();
}

qint64 TrendWindow::SpanMs() const {
  return chart_->View().Span();
}

void TrendWindow::SetSpanMs(qint64 spanMs) {
  chart_->View().SetSpan(spanMs);
  chart_->update();
  UpdateControls();
}

void TrendWindow::SpanChosen(int index) {
  if (index >= 0 && index < static_cast<int>(kTrendSpansMs.size())) SetSpanMs(kTrendSpansMs[index]);
}

void TrendWindow::UpdateControls() {
  updatingControls_ = true;
  const TrendViewport& view = chart_->View();
  const auto it = std::find(kTrendSpansMs.begin(), kTrendSpansMs.end(), view.Span());
  cmboSpan->setPlaceholderText(SpanText(view.Span()));
  cmboSpan->setCurrentIndex(
      it == kTrendSpansMs.end() ? -1 : static_cast<int>(it - kTrendSpansMs.begin()));
  btnFollow->setChecked(view.Follow());
  // The bar's value is the visible start in seconds after the oldest time kept.
  const qint64 oldest = chart_->OldestMs();
  const auto [from, to] = chart_->VisibleRange();
  const qint64 span = to - from;
  const qint64 last = std::max<qint64>(0, (chart_->NowMs() - span - oldest) / 1000);
  scrollTime->setRange(0, static_cast<int>(std::min<qint64>(last, INT_MAX)));
  scrollTime->setPageStep(static_cast<int>(std::clamp<qint64>(span / 1000, 1, INT_MAX)));
  scrollTime->setSingleStep(std::max(1, scrollTime->pageStep() / 10));
  scrollTime->setValue(static_cast<int>(std::clamp<qint64>((from - oldest) / 1000, 0, last)));
  updatingControls_ = false;
  // The same point of the chart now stands for another time.
  UpdateCursor();
}

void TrendWindow::UpdateCursor() {
  const QString readout = chart_->CursorReadout();
  if (edtCursor_->text() == readout) return;
  edtCursor_->setText(readout);
  edtCursor_->setCursorPosition(0);  // the time first, where the read-out is too long
}

void TrendWindow::ScrollBarMoved(int value) {
  if (updatingControls_) return;
  const qint64 oldest = chart_->OldestMs();
  const auto [from, to] = chart_->VisibleRange();
  chart_->View().ScrollTo(oldest + value * 1000LL + (to - from), oldest, chart_->NowMs());
  chart_->update();
  UpdateControls();
}

void TrendWindow::UpdateStatistics() {
  const TSummary& s = stats_.Summary();
  const TDisplayUnit& unit = chart_->Unit();
  const TValueRange* ranges[] = {&s.Forward, &s.Reflected, &s.VSWR};
  const double means[] = {s.MeanForward(), s.MeanReflected(), s.MeanVSWR()};
  const char* formats[] = {unit.ForwardFormat, unit.ReflectedFormat, "%.2f"};
  const double scales[] = {unit.Scale, unit.Scale, 1};
  for (int r = 0; r < 3; ++r) {
    const bool power = r < 2;
    const QString suffix = power ? QStringLiteral(" ") + QString::fromLatin1(unit.Unit) : QString();
    const double values[] = {ranges[r]->Min, ranges[r]->Max, means[r]};
    // The VSWR of an unkeyed transmitter means nothing: those readings are not in it.
    const bool has = power ? s.HasData() : s.Keyed > 0;
    for (int c = 0; c < 3; ++c)
      statsCells_[r][c]->setText(has ? Value(formats[r], values[c] * scales[r]) + suffix
                                     : QStringLiteral("-"));
  }
  const QString caption = tr("Time above VSWR %1").arg(stats_.Threshold());
  lblTimeAboveCaption_->setText(caption);
  // Named afresh only when the threshold changed: each new name is an event to announce.
  if (edtTimeAbove_->accessibleName() != caption) edtTimeAbove_->setAccessibleName(caption);
  edtTimeAbove_->setText(Duration(stats_.TimeAboveMs(chart_->NowMs())));
}

void TrendWindow::SetUnacknowledged(bool waiting) {
  btnAcknowledge->setVisible(waiting);
}

void TrendWindow::ResetClick() {
  stats_.Reset();
  UpdateStatistics();
}

QString TrendWindow::StatusText() const {
  return lblStatus_->text();
}

bool TrendWindow::ExportPng(const QString& path) {
  const QImage image = chart_->grab().toImage();
  if (!image.save(path, "PNG")) {
    lblStatus_->setText(
        tr("Could not write %1. Choose a folder you may write to and export again.").arg(path));
    return false;
  }
  lblStatus_->setText(tr("Saved %1").arg(path));
  return true;
}

bool TrendWindow::ExportCsv(const QString& path) {
  const auto [from, to] = chart_->VisibleRange();
  const std::string csv = TrendCsv(history_, from, to);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) ||
      !file.commit()) {
    lblStatus_->setText(tr("Could not write %1: %2. Choose a folder you may write to and export "
                           "again.")
                            .arg(path, file.errorString()));
    return false;
  }
  lblStatus_->setText(tr("Saved %1").arg(path));
  return true;
}

QString TrendWindow::SaveFileName(const QString& caption, const QString& extension,
                                  const QString& filter) {
  const QString suggested = QDir::home().filePath(
      QStringLiteral("trend-%1.%2")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")),
               extension));
  if (const FileDialogFn& hook = FileDialogHook()) return hook(this, caption, suggested, filter);
  return QFileDialog::getSaveFileName(this, caption, suggested, filter);
}

void TrendWindow::ExportPngClick() {
  const QString path =
      SaveFileName(tr("Export Trend as PNG"), QStringLiteral("png"), tr("PNG images (*.png)"));
  if (!path.isEmpty()) ExportPng(path);
}

void TrendWindow::ExportCsvClick() {
  const QString path =
      SaveFileName(tr("Export Trend as CSV"), QStringLiteral("csv"), tr("CSV files (*.csv)"));
  if (!path.isEmpty()) ExportCsv(path);
}

void TrendWindow::closeEvent(QCloseEvent* event) {
  QWidget::closeEvent(event);
  Q_EMIT Closed();
}

void TrendWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Nothing was updated while hidden.
  UpdateStatistics();
  UpdateControls();
  MakeAccessible(this);
}

}  // namespace vemo
