// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port component's hidden notification window: a QObject living on the GUI thread
// through which the dispatch thread hands trigger messages to the component. A send
// blocks the sending thread until the GUI thread has run the window procedure, or until
// a time-out or cancellation abandons it. A message abandoned before it started is never
// run later; one whose procedure is still running (say, in a message box's event loop)
// runs on to its end, and the sender goes on without it. Sends are then handled nested,
// inside that procedure's event loop.
//
// The sender wakes the GUI thread through an eventfd watched by a socket notifier; the
// message itself waits under the window's lock. Nothing allocated on the sending thread
// is handed to Qt's event queue, whose own locking the race detector cannot see.

#include <QObject>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace vemo {

struct TComMessage {
  uint16_t msg = 0;
  uint16_t wParam = 0;
  uint32_t lParam = 0;
  uint32_t delivery = 0;  // the dispatcher's number for this receiver call, 0 for none
};

class TComWindow : public QObject {
  Q_OBJECT

 public:
  using Procedure = std::function<void(const TComMessage&)>;

  // Create on the thread that is to run the procedure (the GUI thread).
  explicit TComWindow(Procedure procedure);
  ~TComWindow() override;

  // Called from another thread: runs the procedure on the window's thread and waits for it
  // to return. Gives up (false) when it has not returned within `timeout`, or when
  // `cancel` is true at a wake-up (see Wake); a procedure already running is not stopped.
  // From the window's own thread, runs it at once.
  bool Send(const TComMessage& m, std::chrono::milliseconds timeout,
            const std::atomic<bool>& cancel);
  // Wakes a thread waiting in Send so that it looks at its cancel flag again.
  void Wake();
  // On the window's own thread: queues a message to handle later, after what is pending.
  void Post(const TComMessage& m);
  // True on the window's thread while the procedure runs for a sent message.
  bool InSentMessage() const { return inSent_ > 0; }

  // Where an exception escaping the procedure goes; without one it is written to the
  // Qt message log. The GUI installs the application's error display here.
  static void SetExceptionHandler(std::function<void(std::exception_ptr)> handler);
  // Hands an exception to that handler (or the log).
  static void ReportException(std::exception_ptr e);
  // Stops running the procedure (the owner is going away); pending messages are dropped.
  void Detach();

 protected:
  void customEvent(QEvent* e) override;

 private:
  void RunProcedure(const TComMessage& m);
  void HandleSent();
  void HandlePosted();

  Procedure procedure_;
  int wakeFd_ = -1;
  QSocketNotifier* notifier_ = nullptr;
  std::mutex sendSerial_;  // one send at a time
  std::mutex mutex_;
  std::condition_variable answered_;
  uint64_t sendSeq_ = 0;   // numbers the sends; only the latest one is waited for
  bool pending_ = false;   // the latest send waits for the window's thread to take it
  bool finished_ = false;  // the latest send's procedure has returned
  TComMessage sent_;
  std::deque<TComMessage> posted_;
  int inSent_ = 0;  // GUI thread only
};

}  // namespace vemo
