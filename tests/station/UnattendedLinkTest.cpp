// SPDX-License-Identifier: GPL-3.0-or-later
// The waits between attempts to reach a monitor, and what the operator reads meanwhile.
#include "station/UnattendedLink.h"

#include "station/LinkMessages.h"

#include "monitor/VSWRMon.h"
#include "serial/SerialErrors.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace vemo {
namespace {

TEST(RetryBackoff, DoublesFromOneSecondToThirtyAndStartsAgainAfterASuccess) {
  RetryBackoff backoff;
  std::vector<qint64> waits;
  for (int i = 0; i < 8; ++i) waits.push_back(backoff.Next());
  EXPECT_EQ(waits, (std::vector<qint64>{1000, 2000, 4000, 8000, 16000, 30000, 30000, 30000}));
  backoff.Reset();
  EXPECT_EQ(backoff.Next(), 1000);
}

TEST(LinkFailureText, NamesPortDeviceCauseAndWhatToDo) {
  struct Row {
    bool exists;
    std::exception_ptr failure;
    const char* says;
  };
  const Row rows[] = {
      {false, std::make_exception_ptr(EInOutError("File not found", 2)),
       "Cannot open COM2 (/dev/ttyUSB0): the device does not exist. Check that the monitor is "
       "plugged in and that the port or path is right."},
      {true,
       std::make_exception_ptr(
           EAlreadyOpen("Port is already open", ecAlreadyOpen, "held by process 1234")),
       "Cannot open COM2 (/dev/ttyUSB0): another program is using it (held by process 1234). "
       "Close that program or choose another port."},
      {true, std::make_exception_ptr(EReplyTimeout("Timeout")),
       "No answer from the monitor on COM2 (/dev/ttyUSB0) (9600 baud, 8 data bits, no parity, "
       "1 stop bit). Check that it is switched on and cabled to this port, and that no other "
       "program is reading from the port."},
      // A garbled reply names the port it came from.
      {true, std::make_exception_ptr(std::runtime_error("Bad reply")),
       "COM2 (/dev/ttyUSB0): Bad reply"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(LinkFailureText("COM2 (/dev/ttyUSB0)", "/dev/ttyUSB0", true, row.exists, row.failure),
              row.says);
}

// Failures the service meets beside the window's: a process out of descriptors (as the serial
// layer and as the system report it) and a serial error, without the layer's internal names.
TEST(LinkFailureMessage, SaysWhichLimitToRaiseAndKeepsInternalNamesOut) {
  struct Row {
    std::function<void()> raise;
    const char* says;
  };
  const Row rows[] = {
      {[] { CheckException(ecTooManyOpenFiles); }, "out of file handles. Raise the limit"},
      {[] { throw std::system_error(EMFILE, std::generic_category(), "eventfd"); },
       "out of file handles. Raise the limit"},
      {[] { CheckException(ecHardware); }, "Input/output error on /dev/ttyS0 (serial error 2005"},
  };
  for (const Row& row : rows) {
    try {
      row.raise();
      ADD_FAILURE() << row.says;
    } catch (const std::exception& e) {
      const std::string text = LinkFailureMessage(e, false, false, "/dev/ttyS0", "/dev/ttyS0");
      EXPECT_NE(text.find(row.says), std::string::npos) << text;
      EXPECT_EQ(text.find("ie_"), std::string::npos) << text;
    }
  }
}

}  // namespace
}  // namespace vemo
