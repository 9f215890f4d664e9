// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Waits for a condition that other processes bring about, checking every 50 ms; false once
// timeoutMs have passed without it.

#include <QElapsedTimer>
#include <QThread>

#include <functional>

namespace vemo::test {

inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QThread::msleep(50);
  }
  return true;
}

}  // namespace vemo::test
