// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stop signals (SIGTERM, SIGINT, ...) as an event of the thread that watches them, through
// a signalfd, so that a program ends by its ordinary path: settings saved, ports and locks
// released. Every thread must have the signals blocked, or the kernel may hand one to a
// thread that still takes it by default and the process dies on the spot: call
// BlockSignals before any thread starts (Qt's own included), then construct the watcher.

#include <QObject>

#include <functional>
#include <initializer_list>

class QSocketNotifier;

namespace vemo {

class SignalStop : public QObject {
  Q_OBJECT

 public:
  // Blocks the signals in the calling thread and every thread it starts from now on.
  static void BlockSignals(std::initializer_list<int> signals);

  // onSignal gets the signal's number; it runs on the thread that created this object.
  SignalStop(std::initializer_list<int> signals, std::function<void(int)> onSignal,
             QObject* parent = nullptr);
  ~SignalStop() override;

 private:
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  std::function<void(int)> onSignal_;
};

}  // namespace vemo
