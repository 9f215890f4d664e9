// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/SerialErrors.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "serial/StringTable.h"

namespace vemo {
namespace {

// strerror_r comes in two shapes (GNU returns the text, XSI fills the buffer).
[[maybe_unused]] const char* PickText(const char* text, const char*) {
  return text;
}
[[maybe_unused]] const char* PickText(int rc, const char* buffer) {
  return rc == 0 ? buffer : nullptr;
}

// The operating system's text for an error number, "" when it has none.
std::string SystemText(int number) {
  char buffer[256] = {};
  const char* text = PickText(strerror_r(number, buffer, sizeof buffer), buffer);
  if (text == nullptr || std::strncmp(text, "Unknown error", 13) == 0) return {};
  std::string cleaned;
  for (const char* p = text; *p != '\0'; ++p) {
    const char c = static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F ? ' ' : *p;
    if (c == ' ' && !cleaned.empty() && cleaned.back() == ' ') continue;
    cleaned.push_back(c);
  }
  return cleaned;
}

template <class E>
[[noreturn]] void Raise(int code, const std::string& message, const std::string& detail) {
  throw E(message, code, detail);
}

// What to do about a refused device when its owner is not known.
constexpr const char* kAccessAdvice =
    "On most systems your user must be in the group \"dialout\" (sudo usermod -aG dialout "
    "$USER), then log out and back in";

// Throws the class of code when the code has one of its own; returns otherwise.
void RaiseOwnClass(int code, const std::string& detail = {}) {
  // A refused device's detail is the advice for that device, a sentence of its own.
  const std::string message =
      code == ecPermissionDenied ? ErrorMsg(code) + ". " + (detail.empty() ? kAccessAdvice : detail)
      : detail.empty()           ? ErrorMsg(code)
                                 : ErrorMsg(code) + " (" + detail + ")";
  switch (code) {
    case ecBadArgument:
      Raise<EBadArgument>(code, message, detail);
    case ecGotQuitMsg:
      Raise<EGotQuitMsg>(code, message, detail);
    case ecBufferTooBig:
      Raise<EBufferTooBig>(code, message, detail);
    case ecPortNotAssigned:
      Raise<EPortNotAssigned>(code, message, detail);
    case ecBadId:
      Raise<EBadId>(code, message, detail);
    case ecBaudRate:
      Raise<EBaudRate>(code, message, detail);
    case ecByteSize:
      Raise<EByteSize>(code, message, detail);
    case ecDefault:
      Raise<EDefault>(code, message, detail);
    case ecHardware:
      Raise<EHardware>(code, message, detail);
    case ecMemory:
      Raise<EMemory>(code, message, detail);
    case ecNotOpen:
      Raise<ECommNotOpen>(code, message, detail);
    case ecAlreadyOpen:
      Raise<EAlreadyOpen>(code, message, detail);
    case ecNoHandles:
      Raise<ENoHandles>(code, message, detail);
    case ecNoTimers:
      Raise<ENoTimers>(code, message, detail);
    case ecNoPortSelected:
      Raise<ENoPortSelected>(code, message, detail);
    case ecNotOpenedByTapi:
      Raise<ENotOpenedByTapi>(code, message, detail);
    case ecPermissionDenied:
      Raise<EPermissionDenied>(code, message, detail);
    case ecNullApi:
      Raise<ENullApi>(code, message, detail);
    case ecRegisterHandlerFailed:
      Raise<ERegisterHandlerFailed>(code, message, detail);
    case ecPutBlockFail:
      Raise<EPutBlockFail>(code, message, detail);
    case ecGetBlockFail:
      Raise<EGetBlockFail>(code, message, detail);
    case ecOutputBufferTooSmall:
      Raise<EOutputBufferTooSmall>(code, message, detail);
    case ecBufferIsEmpty:
      Raise<EBufferIsEmpty>(code, message, detail);
    case ecTracingNotEnabled:
      Raise<ETracingNotEnabled>(code, message, detail);
    case ecLoggingNotEnabled:
      Raise<ELoggingNotEnabled>(code, message, detail);
    case ecBaseAddressNotSet:
      Raise<EBaseAddressNotSet>(code, message, detail);
    case ecTriggerTooLong:
      Raise<ETriggerTooLong>(code, message, detail);
    case ecBadTriggerHandle:
      Raise<EBadTriggerHandle>(code, message, detail);
    default:
      return;
  }
}

// errno values whose meaning the message table has under its own number.
int MappedErrno(int err) {
  switch (err) {
    case ENOENT:
      return ecFileNotFound;
    case ENOTDIR:
      return ecPathNotFound;
    case EMFILE:
    case ENFILE:
      return ecTooManyOpenFiles;
    case EBADF:
      return ecInvalidHandle;
    case ENOMEM:
      return ecOutOfMemory;
    default:
      return 0;
  }
}

// The remaining errno values keep their number where the table does not give that number
// another meaning (the OS text is then used); otherwise they become a general failure.
int UnmappedErrno(int err) {
  if (err >= 2 && err <= 162 && !StringTable::Resource(kSerialErrorStrings).Contains(err))
    return -err;
  return ecGeneralFailure;
}

}  // namespace

std::string ErrorMsg(int code) {
  if (code == std::numeric_limits<int>::min()) return {};  // no magnitude as an int
  const int magnitude = std::abs(code);
  std::string text = StringTable::Resource(kSerialErrorStrings).Find(magnitude);
  return text.empty() ? SystemText(magnitude) : text;
}

int CheckException(int code, bool loading) {
  if (code >= 0 || loading) return code;
  if (code == ecOutOfMemory) throw EOutOfMemory();
  if (code <= -2 && code >= -162) throw EInOutError(ErrorMsg(code), -code);
  RaiseOwnClass(code);
  // The code rides along so that a handler can still tell what failed.
  throw ESerialException("Serial exception", code);
}

void RaiseWithDetail(int code, const std::string& detail) {
  if (code < -162 && !detail.empty()) RaiseOwnClass(code, detail);
  CheckException(code);
}

int ErrnoToResult(int err) {
  switch (err) {
    case ENODEV:
    case ENXIO:
    case ENOTTY:
      return ecFileNotFound;
    case EBUSY:
    case EAGAIN:
      return ecAccessDenied;
    case EACCES:
    case EPERM:
      return ecPermissionDenied;
    default:
      break;
  }
  const int mapped = MappedErrno(err);
  return mapped != 0 ? mapped : UnmappedErrno(err);
}

int FileErrnoToResult(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
    case EBUSY:
      return ecAccessDenied;
    case EROFS:
      return ecWriteProtected;
    default:
      break;
  }
  const int mapped = MappedErrno(err);
  return mapped != 0 ? mapped : UnmappedErrno(err);
}

}  // namespace vemo
