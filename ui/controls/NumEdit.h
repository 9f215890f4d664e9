// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Single-line edit controls that hold a number instead of free text: TRealEdit (a real),
// TIntegerEdit (a signed 32-bit value) and TCardinalEdit (a non-negative one). Each refuses,
// key by key and on every clipboard edit, a change that would leave text that is not a
// number (or the start of one), shows its value through FormatString, can clamp it to
// MinValue..MaxValue (Validate), and re-formats (and re-clamps) when the user leaves it.
//
// Keyboard shortcuts: the edits treat QEvent::ShortcutOverride exactly as QLineEdit does;
// they accept it for the keys a line edit uses (Copy, Paste, Cut, Select All, Undo, plain
// typing), so inside a dialog Ctrl+C copies and Ctrl+A selects. A window whose own Ctrl+C /
// Ctrl+A shortcuts must win installs an event filter on the edit (or the application) that
// consumes the ShortcutOverride for those keys without accepting it: the shortcut then fires
// and the edit never receives the key press.

#include <QLineEdit>
#include <QString>

#include <cstdint>

namespace vemo {

class CandidateValidator;

// What the three controls share: the candidate-text checks for keys, Delete and the
// clipboard, select-all on entering, and normalisation on leaving.
class TNumEdit : public QLineEdit {
  Q_OBJECT

 public:
  // Select all text when the focus arrives other than by a mouse click (default on).
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool on) { autoSelect_ = on; }

  // Pattern for showing the value (see FormatFloat); empty means the general format.
  // Setting it re-formats the text at once.
  QString FormatString() const { return formatString_; }
  void SetFormatString(const QString& pattern);

  // Clamp the value to MinValue..MaxValue whenever it is set. Setting it re-clamps at once.
  bool Validate() const { return validate_; }
  void SetValidate(bool on);

  // Value := Value: the text is re-parsed (unparsable text gives MinValue), clamped when
  // Validate is on, and formatted with FormatString. Leaving the control does this.
  virtual void Normalize() = 0;

  // Wide enough for ten digits (a plain line edit asks for seventeen letters).
  QSize sizeHint() const override;

 protected:
  explicit TNumEdit(QWidget* parent);

  // True for text the control may hold while it is being edited: a number of its kind or
  // the start of one ("", "-", "+", and for reals ".", "1E", "1E-").
  virtual bool IsValidText(const QString& candidate) const = 0;
  // True when the typed character (Backspace is QChar(8)) is of a class the control takes
  // and the text it would leave passes IsValidText.
  virtual bool IsValidChar(QChar key) = 0;
  // The IsValidText check of the text that key would leave.
  bool CandidateAccepts(QChar key) const;

  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

  // The real edit shows its text in upper case ("1e5" reads "1E5").
  void SetUpperCase(bool on) { upperCase_ = on; }

 private:
  friend class CandidateValidator;

  QString Before() const;  // text before the selection (or the caret)
  QString After() const;   // text after the selection (or the caret)
  void CopySelection();
  void PasteChecked();
  void CutChecked();
  bool DeleteAllowed() const;

  QString formatString_;
  bool validate_ = false;
  bool autoSelect_ = true;
  bool upperCase_ = false;
};

class TRealEdit : public TNumEdit {
  Q_OBJECT

 public:
  explicit TRealEdit(QWidget* parent = nullptr);

  // The number in the text: 0 for empty text, MinValue for text that does not convert.
  double Value() const;
  // Shows v, clamped first when Validate is on.
  void SetValue(double v);

  double MinValue() const { return minValue_; }
  void SetMinValue(double v) { minValue_ = v; }
  double MaxValue() const { return maxValue_; }
  void SetMaxValue(double v) { maxValue_ = v; }

  void Normalize() override { SetValue(Value()); }

 protected:
  bool IsValidText(const QString& candidate) const override;
  bool IsValidChar(QChar key) override;

 private:
  double ClampValue(double v) const;

  double minValue_ = 0;
  double maxValue_ = 0;
};

class TIntegerEdit : public TNumEdit {
  Q_OBJECT

 public:
  explicit TIntegerEdit(QWidget* parent = nullptr);

  // The number in the text: 0 for empty text, MinValue for text that does not convert.
  int32_t Value() const;
  // Shows v, clamped first when Validate is on.
  void SetValue(int32_t v);

  int32_t MinValue() const { return minValue_; }
  virtual void SetMinValue(int32_t v) { minValue_ = v; }
  int32_t MaxValue() const { return maxValue_; }
  virtual void SetMaxValue(int32_t v) { maxValue_ = v; }

  void Normalize() override { SetValue(Value()); }

 protected:
  bool IsValidText(const QString& candidate) const override;
  bool IsValidChar(QChar key) override;
  // The numbers the control can hold at all.
  virtual bool InDomain(int32_t) const { return true; }

  int32_t minValue_ = 0;
  int32_t maxValue_ = 0;

 private:
  int32_t ClampValue(int32_t v) const;
};

// An integer edit for values of 0 and above: no sign can be typed, negative text is refused
// (pasted "-5" too), negative bounds are stored as 0 and a negative value shows as 0.
class TCardinalEdit : public TIntegerEdit {
  Q_OBJECT

 public:
  explicit TCardinalEdit(QWidget* parent = nullptr);

  void SetMinValue(int32_t v) override { minValue_ = v < 0 ? 0 : v; }
  void SetMaxValue(int32_t v) override { maxValue_ = v < 0 ? 0 : v; }

 protected:
  bool IsValidText(const QString& candidate) const override;
  bool IsValidChar(QChar key) override;
  bool InDomain(int32_t v) const override { return v >= 0; }
};

}  // namespace vemo
