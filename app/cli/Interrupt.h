// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// SIGINT, SIGTERM and SIGHUP (the terminal closed) as an event: while an Interrupt exists
// the first such signal sets Requested() and wakes Wait(); a second one ends the process
// the default way.

#include <QObject>

#include <chrono>

class QSocketNotifier;

namespace vemo::cli {

class Interrupt : public QObject {
  Q_OBJECT

 public:
  Interrupt();
  ~Interrupt() override;

  bool Requested() const { return signal_ != 0; }
  // The signal that was requested, 0 while none was.
  int Signal() const { return signal_; }
  // Waits in a local event loop for up to `limit`, ending early on an interrupt.
  void Wait(std::chrono::milliseconds limit);

 Q_SIGNALS:
  void Raised();

 private:
  void OnSignal();

  QSocketNotifier* notifier_ = nullptr;
  int signal_ = 0;
};

}  // namespace vemo::cli
