// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What an unattended start does when the monitor cannot be reached: how long it waits
// before trying again, and what it tells the operator in the window instead of a box.

#include <QtGlobal>

#include <exception>
#include <string>

namespace vemo {

// The waits between attempts to reach a monitor: first, then doubling up to longest, and
// first again after a success (Reset).
class RetryBackoff {
 public:
  static constexpr qint64 kFirstMs = 1000;
  static constexpr qint64 kLongestMs = 30'000;

  explicit RetryBackoff(qint64 firstMs = kFirstMs, qint64 longestMs = kLongestMs)
      : firstMs_(firstMs), longestMs_(longestMs), nextMs_(firstMs) {}

  // The wait before the next attempt; the one after it is twice as long.
  qint64 Next();
  void Reset() { nextMs_ = firstMs_; }

 private:
  qint64 firstMs_, longestMs_, nextMs_;
};

// The message for failure on the port called name (see LinkName), whose device is path:
// what happened, on which port and device, and what to try. opening: raised while the port
// was being opened; deviceExists: the device node is there (a failure to reach an absent
// one is "the device does not exist" whatever the error).
std::string LinkFailureText(const std::string& name, const std::string& path, bool opening,
                            bool deviceExists, std::exception_ptr failure);

}  // namespace vemo
