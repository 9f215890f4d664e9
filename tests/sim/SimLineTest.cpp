// The simulated monitor seen from the PC's end of a real pseudo-terminal.
#include <gtest/gtest.h>

#include "tests/sim/PtyClient.h"
#include "tests/support/SimProcess.h"

namespace vemo::test {
namespace {

using namespace std::chrono_literals;

TEST(SimLineTest, AnswersIdentificationAndReadingOverThePty) {
  SimProcess sim;
  PtyClient line(sim.Start({"--noise", "0"}));
  line.Send("I");
  EXPECT_EQ(line.Read(40), "KRFMON0306/01/10 SIMULATED MONITOR   \r\n>");
  line.Send("T");
  EXPECT_EQ(line.Read(16), "50.00 1.000 0\r\n>");
  EXPECT_EQ(sim.ReceivedCommands(), (std::vector<std::string>{"I", "T"}));
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace vemo::test
