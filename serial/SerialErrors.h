// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Result codes of the serial layer, their exception classes, the message text of a code and
// the rule that turns a negative result into an exception.
//
// Results are 0 (or a count) for success and a negative code for failure; the message table
// stores the codes' magnitudes. Everything here is safe to call from any thread.

#include <string>

#include "platform/Exception.h"

namespace vemo {

// Operating-system file and device errors (2..162).
inline constexpr int ecOK = 0;
inline constexpr int ecFileNotFound = -2;
inline constexpr int ecPathNotFound = -3;
inline constexpr int ecTooManyOpenFiles = -4;
inline constexpr int ecAccessDenied = -5;
inline constexpr int ecInvalidHandle = -6;
inline constexpr int ecOutOfMemory = -8;
inline constexpr int ecWriteProtected = -150;
inline constexpr int ecGeneralFailure = -162;

// General component errors.
inline constexpr int ecBadHandle = -1001;
inline constexpr int ecBadArgument = -1002;
inline constexpr int ecGotQuitMsg = -1003;
inline constexpr int ecBufferTooBig = -1004;
inline constexpr int ecPortNotAssigned = -1005;

// Port opening errors.
inline constexpr int ecBadId = -2001;
inline constexpr int ecBaudRate = -2002;
inline constexpr int ecByteSize = -2003;
inline constexpr int ecDefault = -2004;
inline constexpr int ecHardware = -2005;
inline constexpr int ecMemory = -2006;
inline constexpr int ecNotOpen = -2007;
inline constexpr int ecAlreadyOpen = -2008;
inline constexpr int ecNoHandles = -2009;
inline constexpr int ecNoTimers = -2010;
inline constexpr int ecNoPortSelected = -2011;
inline constexpr int ecNotOpenedByTapi = -2012;
// The user may not open the device (not a member of the group that owns serial devices).
inline constexpr int ecPermissionDenied = -2013;

// Serial input/output errors.
inline constexpr int ecNullApi = -3001;
inline constexpr int ecNotSupported = -3002;
inline constexpr int ecRegisterHandlerFailed = -3003;
inline constexpr int ecPutBlockFail = -3004;
inline constexpr int ecGetBlockFail = -3005;
inline constexpr int ecOutputBufferTooSmall = -3006;
inline constexpr int ecBufferIsEmpty = -3007;
inline constexpr int ecTracingNotEnabled = -3008;
inline constexpr int ecLoggingNotEnabled = -3009;
inline constexpr int ecBaseAddressNotSet = -3010;

// Trigger errors.
inline constexpr int ecNoMoreTriggers = -5001;
inline constexpr int ecTriggerTooLong = -5002;
inline constexpr int ecBadTriggerHandle = -5003;

// The root of the serial layer's exceptions; ErrorCode() is the negative result code.
// Detail() is what the message adds to the code's text ("held by process 1234"), if anything.
class ESerialException : public Exception {
 public:
  ESerialException(const std::string& message, int errorCode, std::string detail = {})
      : Exception(message), errorCode_(errorCode), detail_(std::move(detail)) {}
  int ErrorCode() const { return errorCode_; }
  const std::string& Detail() const { return detail_; }

 private:
  int errorCode_;
  std::string detail_;
};

#define VEMO_SERIAL_ERROR_CLASS(Name, Group) \
  class Name : public Group {                \
   public:                                   \
    using Group::Group;                      \
  }

// Groups, one per code range.
VEMO_SERIAL_ERROR_CLASS(EGeneral, ESerialException);
VEMO_SERIAL_ERROR_CLASS(EOpenComm, ESerialException);
VEMO_SERIAL_ERROR_CLASS(ESerialIO, ESerialException);
VEMO_SERIAL_ERROR_CLASS(EModem, ESerialException);
VEMO_SERIAL_ERROR_CLASS(ETrigger, ESerialException);
VEMO_SERIAL_ERROR_CLASS(EProtocol, ESerialException);
VEMO_SERIAL_ERROR_CLASS(EINI, ESerialException);
VEMO_SERIAL_ERROR_CLASS(EFax, ESerialException);
VEMO_SERIAL_ERROR_CLASS(ETapi, ESerialException);
VEMO_SERIAL_ERROR_CLASS(ERas, ESerialException);

// One class per code that the layer raises by name.
VEMO_SERIAL_ERROR_CLASS(EBadArgument, EGeneral);
VEMO_SERIAL_ERROR_CLASS(EGotQuitMsg, EGeneral);
VEMO_SERIAL_ERROR_CLASS(EBufferTooBig, EGeneral);
VEMO_SERIAL_ERROR_CLASS(EPortNotAssigned, EGeneral);

VEMO_SERIAL_ERROR_CLASS(EBadId, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EBaudRate, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EByteSize, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EDefault, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EHardware, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EMemory, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(ECommNotOpen, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EAlreadyOpen, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(ENoHandles, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(ENoTimers, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(ENoPortSelected, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(ENotOpenedByTapi, EOpenComm);
VEMO_SERIAL_ERROR_CLASS(EPermissionDenied, EOpenComm);

VEMO_SERIAL_ERROR_CLASS(ENullApi, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(ERegisterHandlerFailed, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(EPutBlockFail, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(EGetBlockFail, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(EOutputBufferTooSmall, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(EBufferIsEmpty, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(ETracingNotEnabled, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(ELoggingNotEnabled, ESerialIO);
VEMO_SERIAL_ERROR_CLASS(EBaseAddressNotSet, ESerialIO);

VEMO_SERIAL_ERROR_CLASS(ETriggerTooLong, ETrigger);
VEMO_SERIAL_ERROR_CLASS(EBadTriggerHandle, ETrigger);

#undef VEMO_SERIAL_ERROR_CLASS

// The message text of a result code (either sign). A code the table does not know, or
// knows with an empty text, takes the operating system's text for that number with
// control characters turned into spaces and double spaces reduced; "" when there is none.
std::string ErrorMsg(int code);

// Returns code when it is 0 or more, or when loading is set (the component is being
// loaded and must not raise). Otherwise throws:
//   -2..-162  EInOutError(text, magnitude), except -8: EOutOfMemory;
//   a code with a class of its own: that class with the code's text and the code;
//   any other code: ESerialException("Serial exception", code).
int CheckException(int code, bool loading = false);

// As CheckException for a negative code, with detail (when not empty) after the code's text
// in parentheses: "ie_Open - device already open (held by process 1234)". Returns for 0.
void RaiseWithDetail(int code, const std::string& detail);

// A (non-zero) errno from opening or configuring a serial device, as the negative result the
// component expects: ENOENT/ENODEV/ENXIO/ENOTTY -> ecFileNotFound (the component reports
// ecBadId), EBUSY/EAGAIN -> ecAccessDenied (reported as ecAlreadyOpen), EACCES/EPERM ->
// ecPermissionDenied, ENOMEM -> ecOutOfMemory; other numbers as -errno where the message
// table has no different meaning for that number, else ecGeneralFailure.
int ErrnoToResult(int err);

// An errno from creating or writing a file (trace and log files), as a negative result:
// as ErrnoToResult, but EACCES/EPERM -> ecAccessDenied ("File access denied") and
// EROFS -> ecWriteProtected.
int FileErrnoToResult(int err);

}  // namespace vemo
