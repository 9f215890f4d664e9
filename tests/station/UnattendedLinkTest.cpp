// The waits between attempts to reach a monitor, and what the operator reads meanwhile.
#include "station/UnattendedLink.h"

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
       "COM2 (/dev/ttyUSB0): no such device – plug the monitor in or choose another port"},
      {true,
       std::make_exception_ptr(
           EAlreadyOpen("Port is already open", ecAlreadyOpen, "held by process 1234")),
       "COM2 (/dev/ttyUSB0): in use by another program (held by process 1234) – close it or "
       "choose another port"},
      {true, std::make_exception_ptr(std::runtime_error("Timeout")),
       "COM2 (/dev/ttyUSB0): the monitor does not answer (Timeout) – check that it is "
       "switched on and connected to this port"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(LinkFailureText(2, "/dev/ttyUSB0", row.exists, row.failure), row.says);
}

}  // namespace
}  // namespace vemo
