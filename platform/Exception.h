// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The run-time library's exception family that every layer raises or derives from.
// Messages are UTF-8 and are the texts the user reads.

#include <stdexcept>
#include <string>

namespace vemo {

// The general exception class: a failure with the message the user will read.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
  std::string message() const { return what(); }
};

// A text that is not a valid number or date ("'%s' is not a valid integer value").
class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

// An operating-system input/output failure; errorCode is the positive system code.
class EInOutError : public Exception {
 public:
  EInOutError(const std::string& message, int errorCode)
      : Exception(message), errorCode_(errorCode) {}
  int errorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

class EOutOfMemory : public Exception {
 public:
  EOutOfMemory() : Exception("Out of memory") {}
};

}  // namespace vemo
