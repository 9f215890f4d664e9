#pragma once
// SIGINT and SIGTERM as an event: while an Interrupt exists the first such signal sets
// Requested() and wakes Wait(); a second one ends the process the default way.

#include <QObject>

#include <chrono>

class QSocketNotifier;

namespace vemo::cli {

class Interrupt : public QObject {
  Q_OBJECT

 public:
  Interrupt();
  ~Interrupt() override;

  bool Requested() const { return requested_; }
  // Waits in a local event loop for up to `limit`, ending early on an interrupt.
  void Wait(std::chrono::milliseconds limit);

 Q_SIGNALS:
  void Raised();

 private:
  void OnSignal();

  QSocketNotifier* notifier_ = nullptr;
  bool requested_ = false;
};

}  // namespace vemo::cli
