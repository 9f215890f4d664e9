#include "ui/controls/NumEdit.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include "tests/ui/controls/ModalWatcher.h"

namespace vemo {
namespace {

enum class Kind { Real, Integer, Cardinal };

const char* Name(Kind k) {
  switch (k) {
    case Kind::Real:
      return "TRealEdit";
    case Kind::Integer:
      return "TIntegerEdit";
    case Kind::Cardinal:
      return "TCardinalEdit";
  }
  return "?";
}

std::unique_ptr<TNumEdit> Make(Kind k) {
  switch (k) {
    case Kind::Real:
      return std::make_unique<TRealEdit>();
    case Kind::Integer:
      return std::make_unique<TIntegerEdit>();
    case Kind::Cardinal:
      return std::make_unique<TCardinalEdit>();
  }
  return nullptr;
}

QString ClipboardText() {
  return QGuiApplication::clipboard()->text();
}

// Places the caret at `caret`, or selects `selLength` characters from it.
void Place(QLineEdit& e, int caret, int selLength = 0) {
  if (selLength > 0) {
    e.setSelection(caret, selLength);
  } else {
    e.deselect();
    e.setCursorPosition(caret);
  }
}

TEST(NumEditValues, FreshControlsShowZeroAndFormatAtOnce) {
  TRealEdit real;
  TIntegerEdit integer;
  TCardinalEdit cardinal;
  EXPECT_EQ(real.text(), "0");
  EXPECT_EQ(integer.text(), "0");
  EXPECT_EQ(cardinal.text(), "0");
  real.SetFormatString("0.00");
  EXPECT_EQ(real.text(), "0.00");
  integer.SetFormatString("000");
  EXPECT_EQ(integer.text(), "000");
}

TEST(NumEditValues, ValueReadsEmptyAsZeroAndUnparsableAsMinValue) {
  TRealEdit real;
  real.SetMinValue(2.5);
  real.SetMaxValue(10);
  real.setText("");
  EXPECT_EQ(real.Value(), 0);
  real.setText("-");
  EXPECT_EQ(real.Value(), 2.5);
  real.setText("1E-");
  EXPECT_EQ(real.Value(), 2.5);
  real.setText("4.25");
  EXPECT_EQ(real.Value(), 4.25);

  TIntegerEdit integer;
  integer.SetMinValue(-7);
  integer.setText("+");
  EXPECT_EQ(integer.Value(), -7);
  integer.setText("-12");
  EXPECT_EQ(integer.Value(), -12);
}

TEST(NumEditValues, ClampingFollowsValidateAndTestsTheLowerBoundFirst) {
  TIntegerEdit e;
  e.SetMinValue(0);
  e.SetMaxValue(125);
  e.SetValue(1000);
  EXPECT_EQ(e.text(), "1000") << "no clamping without Validate";
  e.SetValidate(true);
  EXPECT_EQ(e.text(), "125") << "setting Validate re-clamps at once";
  e.SetValue(-3);
  EXPECT_EQ(e.text(), "0");

  // Crossed bounds: below the minimum gives the minimum, anything else above the maximum
  // gives the maximum.
  e.SetMinValue(10);
  e.SetMaxValue(5);
  e.SetValue(3);
  EXPECT_EQ(e.text(), "10");
  e.SetValue(7);
  EXPECT_EQ(e.text(), "10");
  e.SetValue(12);
  EXPECT_EQ(e.text(), "5");

  TRealEdit r;
  r.SetFormatString("0.00");
  r.SetMaxValue(6.7);
  r.SetValidate(true);
  r.SetValue(6.7);
  EXPECT_EQ(r.text(), "6.70");
  r.SetValue(6.71);
  EXPECT_EQ(r.text(), "6.70");
}

TEST(NumEditValues, CardinalEditHoldsNoNegatives) {
  TCardinalEdit e;
  e.SetMinValue(-5);
  e.SetMaxValue(-1);
  EXPECT_EQ(e.MinValue(), 0);
  EXPECT_EQ(e.MaxValue(), 0);
  e.SetValue(-8);
  EXPECT_EQ(e.text(), "0");
  e.setText("-5");  // only a program can put it there
  EXPECT_EQ(e.Value(), 0);
}

TEST(NumEditValues, ParsingUsesThePointWhateverTheLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TRealEdit e;
  e.SetFormatString("0.00");
  e.clear();
  QTest::keyClicks(&e, "1.5");
  EXPECT_EQ(e.Value(), 1.5);
  e.Normalize();
  EXPECT_EQ(e.text(), "1.50");
  QLocale::setDefault(saved);
}

// One key typed into a control holding `before` with the caret (or selection) as given.
struct KeyCase {
  Kind kind;
  const char* before;
  int caret;
  int selLength;
  Qt::Key key;
  const char* typed;  // the key's text; empty for Backspace and Delete
  const char* after;
};

void PrintTo(const KeyCase& c, std::ostream* os) {
  *os << Name(c.kind) << " \"" << c.before << "\" @" << c.caret << '+' << c.selLength << " key '"
      << (c.typed[0] ? c.typed : QKeySequence(c.key).toString().toStdString().c_str()) << "'";
}

class NumEditKeys : public testing::TestWithParam<KeyCase> {};

TEST_P(NumEditKeys, LeaveOnlyNumbersOrTheirStart) {
  const KeyCase& c = GetParam();
  auto e = Make(c.kind);
  e->setText(c.before);
  Place(*e, c.caret, c.selLength);
  if (c.typed[0]) {
    QTest::keyClick(e.get(), c.typed[0]);
  } else {
    QTest::keyClick(e.get(), c.key);
  }
  EXPECT_EQ(e->text().toStdString(), c.after);
}

constexpr Qt::Key kNone = Qt::Key_unknown;

INSTANTIATE_TEST_SUITE_P(
    Typing, NumEditKeys,
    testing::Values(KeyCase{Kind::Real, "12", 2, 0, kNone, ".", "12."},
                    KeyCase{Kind::Real, "12.", 3, 0, kNone, ".", "12."},
                    KeyCase{Kind::Real, "1.2", 0, 0, kNone, ".", "1.2"},
                    KeyCase{Kind::Real, "45", 0, 2, kNone, "7", "7"},
                    KeyCase{Kind::Integer, "45", 0, 2, kNone, "7", "7"},
                    KeyCase{Kind::Real, "1", 1, 0, kNone, "e", "1E"},
                    KeyCase{Kind::Real, "1E", 2, 0, kNone, "-", "1E-"},
                    KeyCase{Kind::Real, "1E-", 3, 0, kNone, "5", "1E-5"},
                    KeyCase{Kind::Real, "1E5", 3, 0, kNone, "E", "1E5"},
                    KeyCase{Kind::Real, "", 0, 0, kNone, ".", "."},
                    KeyCase{Kind::Real, "12", 2, 0, kNone, "a", "12"},
                    KeyCase{Kind::Real, "12", 2, 0, kNone, " ", "12"},
                    KeyCase{Kind::Real, "12", 2, 0, kNone, ",", "12"},
                    KeyCase{Kind::Real, "5", 0, 0, kNone, "-", "-5"},
                    KeyCase{Kind::Real, "5", 1, 0, kNone, "-", "5"},
                    KeyCase{Kind::Integer, "12", 2, 0, kNone, ".", "12"},
                    KeyCase{Kind::Integer, "12", 2, 0, kNone, "E", "12"},
                    KeyCase{Kind::Integer, "12", 0, 0, kNone, "-", "-12"},
                    KeyCase{Kind::Integer, "12", 2, 0, kNone, "-", "12"},
                    KeyCase{Kind::Integer, "-", 1, 0, kNone, "+", "-"},
                    KeyCase{Kind::Integer, "214748364", 9, 0, kNone, "7", "2147483647"},
                    KeyCase{Kind::Integer, "214748364", 9, 0, kNone, "8", "214748364"},
                    KeyCase{Kind::Integer, "-214748364", 10, 0, kNone, "8", "-2147483648"},
                    KeyCase{Kind::Cardinal, "214748364", 9, 0, kNone, "8", "214748364"},
                    KeyCase{Kind::Cardinal, "5", 0, 0, kNone, "-", "5"},
                    KeyCase{Kind::Cardinal, "5", 0, 0, kNone, "+", "5"},
                    KeyCase{Kind::Cardinal, "", 0, 0, kNone, "-", ""},
                    KeyCase{Kind::Cardinal, "5", 1, 0, kNone, "0", "50"}));

INSTANTIATE_TEST_SUITE_P(
    BackspaceAndDelete, NumEditKeys,
    testing::Values(KeyCase{Kind::Integer, "-5", 1, 0, Qt::Key_Backspace, "", "5"},
                    KeyCase{Kind::Real, "2E5", 1, 0, Qt::Key_Backspace, "", "2E5"},
                    KeyCase{Kind::Real, "1.5E5", 0, 3, Qt::Key_Backspace, "", "1.5E5"},
                    KeyCase{Kind::Real, "1.5E5", 3, 2, Qt::Key_Backspace, "", "1.5"},
                    KeyCase{Kind::Real, "2E5", 0, 0, Qt::Key_Delete, "", "2E5"},
                    KeyCase{Kind::Real, "25", 0, 0, Qt::Key_Delete, "", "5"},
                    KeyCase{Kind::Real, "2E5", 0, 1, Qt::Key_Delete, "", "2E5"},
                    KeyCase{Kind::Integer, "123", 1, 1, Qt::Key_Delete, "", "13"},
                    KeyCase{Kind::Integer, "12", 2, 0, Qt::Key_Delete, "", "12"}));

TEST(NumEditKeys, TypingDoesNotClampUntilTheValueIsSet) {
  TCardinalEdit e;
  e.SetMaxValue(125);
  e.SetValidate(true);
  e.clear();
  QTest::keyClicks(&e, "300");
  EXPECT_EQ(e.text(), "300");
  EXPECT_EQ(e.Value(), 300);
  e.Normalize();
  EXPECT_EQ(e.text(), "125");
}

TEST(NumEditKeys, EditsOtherThanKeysAreCheckedToo) {
  // Context menu, drag and drop and middle-click paste all end in insert().
  TIntegerEdit integer;
  integer.setText("12");
  integer.insert("x");
  EXPECT_EQ(integer.text(), "12");
  integer.insert("3");
  EXPECT_EQ(integer.text(), "123");

  TRealEdit real;
  real.setText("1");
  real.insert("e5");
  EXPECT_EQ(real.text(), "1E5");

  TCardinalEdit cardinal;
  cardinal.setText("5");
  cardinal.setCursorPosition(0);
  cardinal.insert("-");
  EXPECT_EQ(cardinal.text(), "5");
}

class NumEditClipboard : public testing::Test {
 protected:
  void SetClipboard(const QString& text) { QGuiApplication::clipboard()->setText(text); }
  void Press(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
    QTest::keyClick(w, key, mods);
  }
};

TEST_F(NumEditClipboard, PasteInsertsOnlyTextThatLeavesANumber) {
  for (Kind k : {Kind::Real, Kind::Integer, Kind::Cardinal}) {
    SCOPED_TRACE(Name(k));
    auto e = Make(k);
    e->setText("7");
    e->selectAll();
    SetClipboard("abc");
    Press(e.get(), Qt::Key_V);
    EXPECT_EQ(e->text(), "7");
  }

  TIntegerEdit integer;
  integer.clear();
  SetClipboard("12");
  Press(&integer, Qt::Key_V);
  EXPECT_EQ(integer.text(), "12");

  // Inserted at the caret, replacing a selection; the candidate includes the surroundings.
  integer.setText("1999");
  integer.setSelection(1, 3);
  SetClipboard("23");
  Press(&integer, Qt::Key_V);
  EXPECT_EQ(integer.text(), "123");
  integer.setCursorPosition(3);
  SetClipboard("-4");
  Press(&integer, Qt::Key_V);
  EXPECT_EQ(integer.text(), "123");

  SetClipboard(" 42\n");
  integer.selectAll();
  Press(&integer, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(integer.text(), "42") << "Shift+Insert pastes through the same check";

  TCardinalEdit cardinal;
  cardinal.selectAll();
  SetClipboard("-5");
  Press(&cardinal, Qt::Key_V);
  EXPECT_EQ(cardinal.text(), "0");

  TRealEdit real;
  real.selectAll();
  SetClipboard("2.5e-3");
  Press(&real, Qt::Key_V);
  EXPECT_EQ(real.text(), "2.5E-3");
  EXPECT_DOUBLE_EQ(real.Value(), 0.0025);
}

TEST_F(NumEditClipboard, PasteWithoutTextOnTheClipboardSaysSo) {
  TIntegerEdit e;
  auto* data = new QMimeData;
  data->setData("application/octet-stream", QByteArray("\x01\x02", 2));
  QGuiApplication::clipboard()->setMimeData(data);
  test::ModalWatcher watcher;
  Press(&e, Qt::Key_V);
  EXPECT_EQ(watcher.Count(), 1);
  EXPECT_EQ(watcher.Text(), "No text on the Clipboard");
  EXPECT_EQ(watcher.Icon(), QMessageBox::Information);
  EXPECT_EQ(e.text(), "0");
}

TEST_F(NumEditClipboard, CutTakesTheSelectionOnlyWhenTheRestIsANumber) {
  TIntegerEdit e;
  e.setText("-5");
  e.setSelection(0, 1);
  SetClipboard("unchanged");
  Press(&e, Qt::Key_X);
  EXPECT_EQ(e.text(), "5");
  EXPECT_EQ(ClipboardText(), "-");

  TRealEdit r;
  r.setText("2E5");
  r.setSelection(0, 1);
  SetClipboard("unchanged");
  Press(&r, Qt::Key_X);
  EXPECT_EQ(r.text(), "2E5");
  EXPECT_EQ(ClipboardText(), "unchanged") << "a refused cut copies nothing";

  r.setText("2E5");
  r.deselect();
  Press(&r, Qt::Key_X);
  EXPECT_EQ(r.text(), "2E5");
  EXPECT_EQ(ClipboardText(), "unchanged");

  r.setText("2E5");
  r.setSelection(1, 2);
  Press(&r, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(r.text(), "2") << "Shift+Delete cuts through the same check";
  EXPECT_EQ(ClipboardText(), "E5");
}

TEST_F(NumEditClipboard, CopyTakesTheSelectionAndLeavesTheText) {
  TRealEdit r;
  r.setText("12.5");
  r.setSelection(1, 2);
  Press(&r, Qt::Key_C);
  EXPECT_EQ(ClipboardText(), "2.");
  EXPECT_EQ(r.text(), "12.5");
}

TEST_F(NumEditClipboard, ReadOnlyEditsAcceptNoPasteOrCut) {
  TIntegerEdit e;
  e.setText("15");
  e.setReadOnly(true);
  e.selectAll();
  SetClipboard("9");
  Press(&e, Qt::Key_V);
  EXPECT_EQ(e.text(), "15");
  Press(&e, Qt::Key_X);
  EXPECT_EQ(e.text(), "15");
  EXPECT_EQ(ClipboardText(), "9");
}

// A window with two edits and a button, shown and active, for real focus changes.
class NumEditFocus : public testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window_);
    first_ = new TCardinalEdit(&window_);
    second_ = new TRealEdit(&window_);
    layout->addWidget(first_);
    layout->addWidget(second_);
    window_.show();
    window_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window_));
  }

  QWidget window_;
  TCardinalEdit* first_ = nullptr;
  TRealEdit* second_ = nullptr;
};

TEST_F(NumEditFocus, EnteringByKeyboardSelectsAllButAMouseClickDoesNot) {
  second_->setText("12.5");
  second_->SetFormatString("");
  first_->setFocus(Qt::OtherFocusReason);
  second_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(second_->selectedText(), "12.5");

  first_->setFocus(Qt::TabFocusReason);
  second_->deselect();
  second_->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(second_->hasSelectedText());

  first_->setFocus(Qt::TabFocusReason);
  second_->SetAutoSelect(false);
  second_->deselect();
  second_->setFocus(Qt::BacktabFocusReason);
  EXPECT_FALSE(second_->hasSelectedText());
}

TEST_F(NumEditFocus, LeavingNormalisesTheText) {
  second_->SetFormatString("0.00");
  second_->SetMaxValue(6.7);
  second_->SetValidate(true);
  struct Case {
    const char* typed;
    const char* shown;
  };
  for (const Case& c : {Case{"9", "6.70"}, Case{"-", "0.00"}, Case{"", "0.00"},
                        Case{"1.5E", "0.00"}, Case{"2.345", "2.35"}}) {
    second_->setFocus(Qt::TabFocusReason);
    second_->clear();
    QTest::keyClicks(second_, c.typed);
    first_->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(second_->text().toStdString(), c.shown) << "typed \"" << c.typed << '"';
  }

  first_->SetMinValue(5);
  first_->SetMaxValue(125);
  first_->SetValidate(true);
  first_->setFocus(Qt::TabFocusReason);
  first_->clear();
  EXPECT_EQ(first_->Value(), 0) << "empty text reads 0 even below MinValue";
  QTest::keyClicks(first_, "300");
  second_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(first_->text(), "125");
  first_->setFocus(Qt::TabFocusReason);
  first_->clear();
  second_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(first_->text(), "5");
}

TEST_F(NumEditFocus, AMomentaryFocusLossKeepsTheTextAsTyped) {
  second_->SetFormatString("0.00");
  second_->setFocus(Qt::TabFocusReason);
  second_->clear();
  QTest::keyClicks(second_, "1.");
  QFocusEvent out(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(second_, &out);
  EXPECT_EQ(second_->text(), "1.") << "opening the context menu must not re-format";
}

TEST(NumEditShortcuts, ReturnAndEscapeReachTheDialog) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new TIntegerEdit(&dialog);
  auto* ok = new QPushButton("OK", &dialog);
  ok->setDefault(true);
  layout->addWidget(edit);
  layout->addWidget(ok);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.show();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);

  dialog.show();
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// How a window lets its own Ctrl+C win over the edit's copy key.
class SwallowShortcutOverride : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::ShortcutOverride) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    return key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier;
  }
};

TEST(NumEditShortcuts, AWindowCanLetItsOwnCopyShortcutWin) {
  QWidget window;
  auto* layout = new QVBoxLayout(&window);
  auto* edit = new TIntegerEdit(&window);
  layout->addWidget(edit);
  int fired = 0;
  auto* action = new QAction(&window);
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
  window.addAction(action);
  QObject::connect(action, &QAction::triggered, &window, [&] { ++fired; });
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  edit->setFocus();
  edit->setText("77");
  edit->selectAll();
  QGuiApplication::clipboard()->setText("before");

  QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(fired, 0) << "without help the edit keeps Ctrl+C";
  EXPECT_EQ(ClipboardText(), "77");

  SwallowShortcutOverride filter;
  edit->installEventFilter(&filter);
  QGuiApplication::clipboard()->setText("before");
  QTest::keyClick(edit, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(ClipboardText(), "before");
}

}  // namespace
}  // namespace vemo
