// SPDX-License-Identifier: GPL-3.0-or-later
// The waits between attempts to reach a monitor, and what the operator reads meanwhile.
#include "station/UnattendedLink.h"

#include "monitor/VSWRMon.h"
#include "serial/SerialErrors.h"

#include <gtest/gtest.h>

#include <stdexcept>
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

}  // namespace
}  // namespace vemo
