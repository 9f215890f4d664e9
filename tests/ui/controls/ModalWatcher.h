// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers each modal window (message box or dialog) that a call under test opens, so that
// the call returns, and remembers what the last one showed. A window counts again each time
// it becomes the active modal window (shown anew, or uncovered by a box that closed).

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <utility>

namespace vemo::test {

class ModalWatcher {
 public:
  // answer acts on the window when it appears; by default it is rejected (closed).
  explicit ModalWatcher(std::function<void(QWidget*)> answer = {}) : answer_(std::move(answer)) {
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Poll(); });
    timer_.start(10);
  }
  int Count() const { return count_; }
  const QString& Text() const { return text_; }  // a message box's text
  QMessageBox::Icon Icon() const { return icon_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == last_) return;
    last_ = modal;
    if (!modal) return;
    ++count_;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      text_ = box->text();
      icon_ = box->icon();
    }
    if (answer_) {
      answer_(modal);
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    }
  }

  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  QWidget* last_ = nullptr;
  int count_ = 0;
  QString text_;
  QMessageBox::Icon icon_ = QMessageBox::NoIcon;
};

}  // namespace vemo::test
