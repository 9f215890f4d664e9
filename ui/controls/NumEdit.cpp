// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/NumEdit.h"

#include <QClipboard>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QValidator>

#include "ui/controls/FormatFloat.h"
#include "ui/controls/NumberText.h"

namespace vemo {

// Keys and the clipboard keys are checked in keyPressEvent; this guards every other way
// text can change (context menu, drag and drop, middle-click paste, input methods, word
// deletion keys) with the same candidate check, and applies the upper case.
class CandidateValidator : public QValidator {
 public:
  explicit CandidateValidator(TNumEdit* edit) : QValidator(edit), edit_(edit) {}

  State validate(QString& input, int&) const override {
    if (edit_->upperCase_) input = input.toUpper();
    return edit_->IsValidText(input) ? Acceptable : Invalid;
  }

 private:
  TNumEdit* edit_;
};

namespace {

constexpr QChar kBackspace(8);

bool IsDigitKey(QChar key) {
  return key >= u'0' && key <= u'9';
}
bool IsSignKey(QChar key) {
  return key == u'+' || key == u'-';
}

// Window switches and popups (the context menu) take the focus away only for a moment;
// they neither select all on return nor normalise the text.
bool IsPassingFocusChange(Qt::FocusReason reason) {
  return reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason;
}

}  // namespace

// ---- TNumEdit ---------------------------------------------------------------------------

TNumEdit::TNumEdit(QWidget* parent) : QLineEdit(parent) {
  setValidator(new CandidateValidator(this));
}

void TNumEdit::SetFormatString(const QString& pattern) {
  formatString_ = pattern;
  Normalize();
}

void TNumEdit::SetValidate(bool on) {
  validate_ = on;
  Normalize();
}

QSize TNumEdit::sizeHint() const {
  constexpr int kHintDigits = 10;
  constexpr int kLineEditHintLetters = 17;  // QLineEdit's own hint: 17 "x" plus margins
  QSize hint = QLineEdit::sizeHint();
  const QFontMetrics fm = fontMetrics();
  hint.rwidth() +=
      kHintDigits * fm.horizontalAdvance(u'0') - kLineEditHintLetters * fm.horizontalAdvance(u'x');
  return hint;
}

QString TNumEdit::Before() const {
  const int start = hasSelectedText() ? selectionStart() : cursorPosition();
  return text().left(start);
}

QString TNumEdit::After() const {
  const int start = hasSelectedText() ? selectionStart() : cursorPosition();
  return text().mid(start + selectedText().size());
}

bool TNumEdit::CandidateAccepts(QChar key) const {
  QString candidate;
  if (key == kBackspace) {
    if (hasSelectedText()) {
      candidate = Before() + After();
    } else {
      candidate = text();
      if (cursorPosition() > 0) candidate.remove(cursorPosition() - 1, 1);
    }
  } else {
    candidate = Before() + key + After();
  }
  return IsValidText(candidate);
}

bool TNumEdit::DeleteAllowed() const {
  if (hasSelectedText()) return IsValidText(Before() + After());
  return IsValidText(QString(text()).remove(cursorPosition(), 1));
}

void TNumEdit::CopySelection() {
  if (hasSelectedText()) QGuiApplication::clipboard()->setText(selectedText());
}

void TNumEdit::PasteChecked() {
  const QMimeData* mime = QGuiApplication::clipboard()->mimeData();
  if (!mime || !mime->hasText()) {
    QMessageBox::information(this, tr("Information"), QStringLiteral("No text on the Clipboard"));
    return;
  }
  if (isReadOnly()) return;
  // A number copied from elsewhere often carries a line end; the number is what counts.
  const QString clip = mime->text().trimmed();
  if (IsValidText(Before() + clip + After())) insert(clip);
}

void TNumEdit::CutChecked() {
  if (!hasSelectedText() || isReadOnly()) return;
  if (!IsValidText(Before() + After())) return;
  QGuiApplication::clipboard()->setText(selectedText());
  del();
}

void TNumEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    PasteChecked();
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Cut)) {
    CutChecked();
    event->accept();
    return;
  }
  const auto chords =
      event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
  bool refused = false;
  if (event->key() == Qt::Key_Delete && !chords) {
    refused = !DeleteAllowed();
  } else if (event->key() == Qt::Key_Backspace && !chords) {
    refused = !IsValidChar(kBackspace);
  } else if (const QString typed = event->text();
             typed.size() == 1 && typed[0].isPrint() && !chords) {
    refused = !IsValidChar(typed[0]);
  }
  if (refused) {
    event->accept();  // swallowed without a sound
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TNumEdit::focusInEvent(QFocusEvent* event) {
  const bool hadSelection = hasSelectedText();
  QLineEdit::focusInEvent(event);  // selects all by itself on Tab, Backtab and shortcuts
  if (IsPassingFocusChange(event->reason())) return;
  if (autoSelect_ && event->reason() != Qt::MouseFocusReason) {
    selectAll();
  } else if (!autoSelect_ && !hadSelection) {
    deselect();
  }
}

void TNumEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!IsPassingFocusChange(event->reason())) Normalize();
}

// ---- TRealEdit --------------------------------------------------------------------------

TRealEdit::TRealEdit(QWidget* parent) : TNumEdit(parent) {
  SetUpperCase(true);
  SetValue(0);
}

double TRealEdit::Value() const {
  if (text().isEmpty()) return 0;
  double v = 0;
  return ScanReal(text(), &v) == NumberText::Number ? v : minValue_;
}

double TRealEdit::ClampValue(double v) const {
  if (!Validate()) return v;
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return v;
}

void TRealEdit::SetValue(double v) {
  setText(FormatFloat(FormatString(), ClampValue(v)));
}

bool TRealEdit::IsValidText(const QString& candidate) const {
  return ScanReal(candidate) != NumberText::Invalid;
}

bool TRealEdit::IsValidChar(QChar key) {
  const bool takes = key == kBackspace || IsDigitKey(key) || IsSignKey(key) || key == u'.' ||
                     key == u'E' || key == u'e';
  return takes && CandidateAccepts(key);
}

// ---- TIntegerEdit -----------------------------------------------------------------------

TIntegerEdit::TIntegerEdit(QWidget* parent) : TNumEdit(parent) {
  SetValue(0);
}

int32_t TIntegerEdit::Value() const {
  if (text().isEmpty()) return 0;
  int32_t v = 0;
  return ScanInteger(text(), &v) == NumberText::Number && InDomain(v) ? v : minValue_;
}

int32_t TIntegerEdit::ClampValue(int32_t v) const {
  if (!Validate()) return v;
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return v;
}

void TIntegerEdit::SetValue(int32_t v) {
  v = ClampValue(v);
  if (!InDomain(v)) v = 0;
  setText(FormatFloat(FormatString(), v));
}

bool TIntegerEdit::IsValidText(const QString& candidate) const {
  int32_t v = 0;
  switch (ScanInteger(candidate, &v)) {
    case NumberText::Invalid:
      return false;
    case NumberText::Started:
      return true;
    case NumberText::Number:
      return InDomain(v);
  }
  return false;
}

bool TIntegerEdit::IsValidChar(QChar key) {
  const bool takes = key == kBackspace || IsDigitKey(key) || IsSignKey(key);
  return takes && CandidateAccepts(key);
}

// ---- TCardinalEdit ----------------------------------------------------------------------

TCardinalEdit::TCardinalEdit(QWidget* parent) : TIntegerEdit(parent) {}

bool TCardinalEdit::IsValidText(const QString& candidate) const {
  return !candidate.contains(u'-') && TIntegerEdit::IsValidText(candidate);
}

bool TCardinalEdit::IsValidChar(QChar key) {
  const bool takes = key == kBackspace || IsDigitKey(key);
  return takes && CandidateAccepts(key);
}

}  // namespace vemo
