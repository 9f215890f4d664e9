#pragma once
// Answers each modal window (a message box or a dialog) that a call under test opens, so
// that the call returns; remembers what the last one showed. A window counts again each time
// it becomes the active modal window (shown anew, or uncovered when a box on top closes).

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <utility>

namespace vemo::test {

class ModalWatcher {
 public:
  // answer runs on the modal window when it appears (default: close it with reject()).
  explicit ModalWatcher(std::function<void(QWidget*)> answer = {}) : answer_(std::move(answer)) {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Poll(); });
    timer_.start();
  }

  int Count() const { return count_; }
  const QString& Text() const { return text_; }    // the message box text, if any
  const QString& Title() const { return title_; }  // the window title
  QMessageBox::Icon Icon() const { return icon_; }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == last_) return;
    last_ = modal;
    if (!modal) return;
    ++count_;
    title_ = modal->windowTitle();
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      text_ = box->text();
      icon_ = box->icon();
    }
    if (answer_) {
      answer_(modal);
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
      dialog->reject();
    } else {
      modal->close();
    }
  }

  std::function<void(QWidget*)> answer_;
  QTimer timer_;
  QWidget* last_ = nullptr;
  int count_ = 0;
  QString text_;
  QString title_;
  QMessageBox::Icon icon_ = QMessageBox::NoIcon;
};

}  // namespace vemo::test
