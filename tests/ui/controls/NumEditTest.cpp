// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/controls/NumEdit.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

#include "tests/ui/controls/ModalWatcher.h"

namespace vemo {
namespace {

enum Kind { Real, Integer, Cardinal };

std::unique_ptr<TNumEdit> Make(Kind k) {
  if (k == Real) return std::make_unique<TRealEdit>();
  if (k == Integer) return std::make_unique<TIntegerEdit>();
  return std::make_unique<TCardinalEdit>();
}

QString Clipboard() {
  return QGuiApplication::clipboard()->text();
}
void SetClipboard(const QString& text) {
  QGuiApplication::clipboard()->setText(text);
}
void Ctrl(QWidget* w, Qt::Key key) {
  QTest::keyClick(w, key, Qt::ControlModifier);
}

TEST(NumEditValues, FreshControlsShowZeroAndFormatAtOnce) {
  TRealEdit real;
  TCardinalEdit cardinal;
  EXPECT_EQ(real.text(), "0");
  EXPECT_EQ(cardinal.text(), "0");
  real.SetFormatString("0.00");
  EXPECT_EQ(real.text(), "0.00");
}

TEST(NumEditValues, ClampingFollowsValidateAndTestsTheLowerBoundFirst) {
  TIntegerEdit e;
  e.SetMaxValue(125);
  e.SetValue(1000);
  EXPECT_EQ(e.text(), "1000") << "no clamping without Validate";
  e.SetValidate(true);
  EXPECT_EQ(e.text(), "125") << "setting Validate re-clamps at once";
  e.SetMinValue(10);  // crossed bounds
  e.SetMaxValue(5);
  e.SetValue(7);
  EXPECT_EQ(e.text(), "10");
  e.SetValue(12);
  EXPECT_EQ(e.text(), "5");

  TCardinalEdit c;
  c.SetMinValue(-5);
  EXPECT_EQ(c.MinValue(), 0);
  c.SetValue(-8);
  EXPECT_EQ(c.text(), "0");
}

// One key typed into a control holding `before`, with the caret at `caret` or `selLength`
// characters selected from it. A typed text of "\b" is Backspace, "\x7f" Delete.
struct KeyCase {
  Kind kind;
  const char* before;
  int caret, selLength;
  const char* typed;
  const char* after;
};

TEST(NumEditKeys, LeaveOnlyNumbersOrTheirStart) {
  const KeyCase cases[] = {{Real, "12", 2, 0, ".", "12."},
                           {Real, "12.", 3, 0, ".", "12."},
                           {Real, "45", 0, 2, "7", "7"},
                           {Real, "1", 1, 0, "e", "1E"},
                           {Real, "1E", 2, 0, "-", "1E-"},
                           {Real, "", 0, 0, ".", "."},
                           {Real, "12", 2, 0, "a", "12"},
                           {Real, "12", 2, 0, " ", "12"},
                           {Real, "5", 1, 0, "-", "5"},
                           {Integer, "12", 2, 0, ".", "12"},
                           {Integer, "12", 2, 0, "E", "12"},
                           {Integer, "12", 0, 0, "-", "-12"},
                           {Integer, "214748364", 9, 0, "7", "2147483647"},
                           {Integer, "214748364", 9, 0, "8", "214748364"},
                           {Integer, "-214748364", 10, 0, "8", "-2147483648"},
                           {Cardinal, "5", 0, 0, "-", "5"},
                           {Cardinal, "5", 0, 0, "+", "5"},
                           {Integer, "-5", 1, 0, "\b", "5"},
                           {Real, "2E5", 1, 0, "\b", "2E5"},
                           {Real, "1.5E5", 0, 3, "\b", "1.5E5"},
                           {Real, "1.5E5", 3, 2, "\b", "1.5"},
                           {Real, "2E5", 0, 0, "\x7f", "2E5"},
                           {Real, "25", 0, 0, "\x7f", "5"},
                           {Real, "2E5", 0, 1, "\x7f", "2E5"},
                           {Integer, "123", 1, 1, "\x7f", "13"}};
  for (const KeyCase& c : cases) {
    auto e = Make(c.kind);
    e->setText(c.before);
    if (c.selLength > 0) {
      e->setSelection(c.caret, c.selLength);
    } else {
      e->setCursorPosition(c.caret);
    }
    if (c.typed[0] == '\b') {
      QTest::keyClick(e.get(), Qt::Key_Backspace);
    } else if (c.typed[0] == '\x7f') {
      QTest::keyClick(e.get(), Qt::Key_Delete);
    } else {
      QTest::keyClick(e.get(), c.typed[0]);
    }
    EXPECT_EQ(e->text().toStdString(), c.after)
        << e->metaObject()->className() << " \"" << c.before << "\" key " << int(c.typed[0]);
  }
}

TEST(NumEditKeys, EditsOtherThanKeysAreCheckedToo) {
  // The context menu, drag and drop and middle-click paste all insert().
  TIntegerEdit integer;
  integer.setText("12");
  integer.insert("x");
  EXPECT_EQ(integer.text(), "12");
  TRealEdit real;
  real.setText("1");
  real.insert("e5");
  EXPECT_EQ(real.text(), "1E5");
}

TEST(NumEditClipboard, PasteInsertsOnlyTextThatLeavesANumber) {
  for (Kind k : {Real, Integer, Cardinal}) {
    auto e = Make(k);
    e->selectAll();
    SetClipboard("abc");
    Ctrl(e.get(), Qt::Key_V);
    EXPECT_EQ(e->text(), "0") << k;
  }
  TIntegerEdit integer;
  integer.setText("1999");
  integer.setSelection(1, 3);
  SetClipboard(" 23\n");
  Ctrl(&integer, Qt::Key_V);
  EXPECT_EQ(integer.text(), "123");
  SetClipboard("-4");
  QTest::keyClick(&integer, Qt::Key_Insert, Qt::ShiftModifier);
  EXPECT_EQ(integer.text(), "123") << "Shift+Insert pastes through the same check";

  TCardinalEdit cardinal;
  cardinal.selectAll();
  Ctrl(&cardinal, Qt::Key_V);
  EXPECT_EQ(cardinal.text(), "0") << "no negative number in an unsigned edit";
}

TEST(NumEditClipboard, PasteWithoutTextOnTheClipboardSaysSo) {
  auto* data = new QMimeData;
  data->setData("application/octet-stream", QByteArray("\x01", 1));
  QGuiApplication::clipboard()->setMimeData(data);
  TIntegerEdit e;
  test::ModalWatcher watcher;
  Ctrl(&e, Qt::Key_V);
  EXPECT_EQ(watcher.Count(), 1);
  EXPECT_EQ(watcher.Text(), "No text on the Clipboard");
  EXPECT_EQ(watcher.Icon(), QMessageBox::Information);
}

TEST(NumEditClipboard, CutTakesTheSelectionOnlyWhenTheRestIsANumber) {
  TIntegerEdit e;
  e.setText("-5");
  e.setSelection(0, 1);
  Ctrl(&e, Qt::Key_X);
  EXPECT_EQ(e.text(), "5");
  EXPECT_EQ(Clipboard(), "-");

  TRealEdit r;
  r.setText("2E5");
  r.setSelection(0, 1);
  SetClipboard("unchanged");
  Ctrl(&r, Qt::Key_X);
  EXPECT_EQ(r.text(), "2E5");
  EXPECT_EQ(Clipboard(), "unchanged") << "a refused cut copies nothing";
  r.setSelection(1, 2);
  QTest::keyClick(&r, Qt::Key_Delete, Qt::ShiftModifier);
  EXPECT_EQ(r.text(), "2") << "Shift+Delete cuts through the same check";
  EXPECT_EQ(Clipboard(), "E5");
}

// A shown, active window with two edits, for real focus changes.
class NumEditFocus : public testing::Test {
 protected:
  void SetUp() override {
    auto* layout = new QVBoxLayout(&window_);
    layout->addWidget(first_ = new TCardinalEdit);
    layout->addWidget(second_ = new TRealEdit);
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
  second_->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(second_->selectedText(), "12.5");
  first_->setFocus(Qt::TabFocusReason);
  second_->deselect();
  second_->setFocus(Qt::MouseFocusReason);
  EXPECT_FALSE(second_->hasSelectedText());
  first_->setFocus(Qt::TabFocusReason);
  second_->SetAutoSelect(false);
  second_->setFocus(Qt::BacktabFocusReason);
  EXPECT_FALSE(second_->hasSelectedText());
}

TEST_F(NumEditFocus, LeavingNormalisesTheText) {
  second_->SetFormatString("0.00");
  second_->SetMaxValue(6.7);
  second_->SetValidate(true);
  first_->SetMinValue(5);
  first_->SetMaxValue(125);
  first_->SetValidate(true);
  struct Case {
    TNumEdit* edit;
    const char* typed;
    const char* shown;
  };
  for (const Case& c :
       {Case{second_, "9", "6.70"}, Case{second_, "-", "0.00"}, Case{second_, "1.5E", "0.00"},
        Case{second_, "2.345", "2.35"}, Case{first_, "300", "125"}, Case{first_, "", "5"}}) {
    c.edit->setFocus(Qt::TabFocusReason);
    c.edit->clear();
    QTest::keyClicks(c.edit, c.typed);
    if (!*c.typed) {
      EXPECT_EQ(first_->Value(), 0) << "empty reads 0 even below MinValue";
    }
    (c.edit == first_ ? static_cast<QWidget*>(second_) : first_)->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(c.edit->text().toStdString(), c.shown) << "typed \"" << c.typed << '"';
  }
  // Opening the context menu takes the focus only for a moment: no re-formatting.
  second_->setFocus(Qt::TabFocusReason);
  second_->setText("1.");
  QFocusEvent popup(QEvent::FocusOut, Qt::PopupFocusReason);
  QApplication::sendEvent(second_, &popup);
  EXPECT_EQ(second_->text(), "1.");
}

TEST(NumEditShortcuts, ReturnAndEscapeReachTheDialog) {
  QDialog dialog;
  auto* layout = new QVBoxLayout(&dialog);
  auto* edit = new TIntegerEdit;
  auto* ok = new QPushButton("OK");
  layout->addWidget(edit);
  layout->addWidget(ok);
  ok->setDefault(true);
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  dialog.show();
  QTest::keyClick(edit, Qt::Key_Return);
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  dialog.show();
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

// How a window lets its own Ctrl+C win over the edit's copy key.
class ConsumeCopyOverride : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    auto* key = static_cast<QKeyEvent*>(event);
    return event->type() == QEvent::ShortcutOverride && key->key() == Qt::Key_C &&
           key->modifiers() == Qt::ControlModifier;
  }
};

TEST(NumEditShortcuts, AWindowCanLetItsOwnCopyShortcutWin) {
  QWidget window;
  auto* edit = new TIntegerEdit(&window);
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
  SetClipboard("before");
  Ctrl(edit, Qt::Key_C);
  EXPECT_EQ(fired, 0) << "without help the edit keeps Ctrl+C";
  EXPECT_EQ(Clipboard(), "77");

  ConsumeCopyOverride filter;
  edit->installEventFilter(&filter);
  SetClipboard("before");
  Ctrl(edit, Qt::Key_C);
  EXPECT_EQ(fired, 1);
  EXPECT_EQ(Clipboard(), "before");
}

}  // namespace
}  // namespace vemo
