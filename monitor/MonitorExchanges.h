// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exchanges of the monitor session run without waiting: each sends its command at
// once and returns; its reply is gathered as the receive buffer fills, and a completion is
// called from the event loop when the reply is whole and applied, or when the exchange
// fails (its time limit passes, the port refuses the command, the reply makes no sense).
// Nothing nests: the thread goes on with other work meanwhile, so a silent monitor never
// holds up another one on the same thread.
//
// Commands, replies, limits and order are the blocking session's (the same TExchange
// descriptions, checked and applied by the same session functions), and so are the
// failures: the session's and the port's exceptions, with their texts.

#include "monitor/VSWRMon.h"
#include "platform/Clock.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace vemo {

struct LinkTiming {
  // The monitor needs a moment after the line comes up before it answers.
  std::chrono::milliseconds Settle{1000};
  // The clock against which reply time limits run; tests pass a faster one.
  const Clock* ReplyClock = &SystemClock();
};

class MonitorExchanges : public QObject {
 public:
  // Null on success, else the failure.
  using Completion = std::function<void(std::exception_ptr failure)>;
  using ReadingCompletion =
      std::function<void(const TMonitorReading& reading, std::exception_ptr failure)>;

  // Runs the exchanges of monitor, whose port and receive buffer it uses.
  MonitorExchanges(TVSWR_Monitor& monitor, LinkTiming timing, QObject* parent = nullptr);

  // Only one operation runs at a time: each of these may start only while none is Busy.
  // Each completion is called exactly once, from the event loop, unless Cancel comes first.

  // The settle pause after the line came up, then the identification ("I"). A failure
  // leaves the session unidentified, as CommandI does.
  void Identify(Completion done);
  // One reading in watts: full scale ("7") and reading ("T"); a monitor in raw mode is
  // switched out of it as SetRawMode does ("T", and "Z" while it is still raw) and read
  // again.
  void Read(ReadingCompletion done);
  // The alarm reset ("A").
  void ResetAlarm(Completion done);

  bool Busy() const { return static_cast<bool>(fail_); }
  // Drops the operation under way without completing it; its reply, if it still comes,
  // stays in the receive buffer for the next exchange to empty.
  void Cancel();

 private:
  using Step = std::function<void(const std::string& reply)>;
  enum class Wait { None, Settle, Reply, Failure };

  void Begin(Completion onFailure);
  // Sends exchange's command; then runs with the aligned, whole reply (or the operation
  // fails). A step may start the next exchange or complete the operation.
  void Start(const TExchange& exchange, Step then);
  void ReadFrom(bool again, ReadingCompletion done);
  // Completes the operation with success: done runs once the operation is over.
  void Complete(const std::function<void()>& done);
  // Fails the operation from the event loop.
  void FailSoon(std::exception_ptr failure);
  void Fail(std::exception_ptr failure);
  void Gather();
  void TimerFired();
  void ArmReplyTimer();

  TVSWR_Monitor& monitor_;
  LinkTiming timing_;
  QTimer timer_;
  Wait wait_ = Wait::None;
  Completion fail_;                // set while an operation runs
  std::exception_ptr failure_;     // to fail with from the event loop
  std::function<void()> settled_;  // what follows the settle pause
  // The exchange whose reply is awaited.
  struct Pending {
    TExchange exchange;
    std::string reply;
    WallTime deadline;
    bool aligned = false;
    Step then;
  };
  std::optional<Pending> pending_;
  bool gatherQueued_ = false;
};

}  // namespace vemo
