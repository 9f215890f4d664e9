#pragma once
// SIGTERM and SIGINT as an event of the service's thread, through a signalfd. Construct
// it before any thread starts, so that every thread inherits the blocked signals.

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace vemo::service {

class SignalStop : public QObject {
  Q_OBJECT

 public:
  // onSignal gets the signal's number; it runs on the thread that created this object.
  explicit SignalStop(std::function<void(int)> onSignal, QObject* parent = nullptr);
  ~SignalStop() override;

 private:
  int fd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  std::function<void(int)> onSignal_;
};

}  // namespace vemo::service
