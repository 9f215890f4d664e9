// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the monitor session needs of a serial port: sending, nothing else. TCustomComPort
// implements it; tests put a scripted port in its place.

#include <string_view>

namespace vemo {

class IComSender {
 public:
  virtual ~IComSender() = default;
  virtual void SendChar(char c) = 0;
  // Queues every byte of s (any value 0..255); nothing is appended. Empty s sends nothing.
  virtual void SendString(std::string_view s) = 0;
};

}  // namespace vemo
