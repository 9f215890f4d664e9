// SPDX-License-Identifier: GPL-3.0-or-later
// The exchanges that do not wait, on a scripted port: the bytes sent and their order, the
// raw-mode rule, replies in pieces and behind strays, time-outs and refused sends, each
// with the outcome the blocking session gives.
#include "SessionFixture.h"
#include "monitor/MonitorExchanges.h"
#include "tests/support/WaitUntil.h"

#include <optional>

namespace vemo::test {
namespace {

const std::string kReading = "100.0,12.50 0\r\n>";
const std::string kRawReading = "  123,  4.5R1\r\n>";

class MonitorExchangesTest : public FastSessionTest {
 protected:
  enum class Op { Identify, Read, ResetAlarm };

  // Runs op to its completion; the failure's text, or "" on success.
  std::string Run(Op op) {
    std::optional<std::string> outcome;
    const auto done = [&outcome](std::exception_ptr failure) {
      outcome = "";
      if (failure) outcome = MessageOf([&] { std::rethrow_exception(failure); });
    };
    switch (op) {
      case Op::Identify:
        exchanges.Identify(done);
        break;
      case Op::Read:
        exchanges.Read([&](const TMonitorReading& r, std::exception_ptr failure) {
          reading = r;
          done(failure);
        });
        break;
      case Op::ResetAlarm:
        exchanges.ResetAlarm(done);
        break;
    }
    // A completion never runs inside the call that starts the operation.
    EXPECT_FALSE(outcome.has_value());
    EXPECT_TRUE(exchanges.Busy());
    EXPECT_TRUE(SpinUntil([&] { return outcome.has_value(); }, 5000));
    EXPECT_FALSE(exchanges.Busy());
    return outcome.value_or("(no completion)");
  }

  MonitorExchanges exchanges{monitor, {std::chrono::milliseconds(1), &clock}};
  TMonitorReading reading;
};

TEST_F(MonitorExchangesTest, RunTheSessionsCommandsInItsOrderWithItsOutcomes) {
  struct Row {
    const char* what;
    std::function<void(ScriptedPort&)> script;
    Op op;
    std::vector<std::string> sent;
    std::string outcome;
    float forward = 0;
  };
  const Row rows[] = {
      {"a reading",
       [](ScriptedPort& p) { p.Answer(FullScaleReply(625)).Answer(kReading); },
       Op::Read,
       {"7", "T"},
       "",
       100.0f},
      {"raw mode switched off and read again",
       [](ScriptedPort& p) {
         p.Answer(FullScaleReply(625)).Answer(kRawReading).Answer(kRawReading).Answer("Z");
         p.Answer(FullScaleReply(625)).Answer(kReading);
       },
       Op::Read,
       {"7", "T", "T", "Z", "7", "T"},
       "",
       100.0f},
      {"raw mode gone by the second look: no switch",
       [](ScriptedPort& p) {
         p.Answer(FullScaleReply(625)).Answer(kRawReading).Answer(kReading);
         p.Answer(FullScaleReply(625)).Answer(kReading);
       },
       Op::Read,
       {"7", "T", "T", "7", "T"},
       "",
       100.0f},
      {"a reply in pieces",
       [](ScriptedPort& p) {
         p.AnswerInChunks({{"P=", 0}, {FullScaleReply(625).substr(2), 30}});
         p.AnswerInChunks({{"100.0,1", 0}, {"2.50 0\r\n>", 30}});
       },
       Op::Read,
       {"7", "T"},
       "",
       100.0f},
      {"bytes behind a reply stay out of the next one",
       [](ScriptedPort& p) { p.Answer(FullScaleReply(625) + "9999").Answer(kReading); },
       Op::Read,
       {"7", "T"},
       "",
       100.0f},
      {"a leftover prompt dropped and the reply topped up",
       [](ScriptedPort& p) {
         p.Answer(FullScaleReply(625));
         p.AnswerInChunks({{">100.0,12.50 0\r\n", 0}, {">", 30}});
       },
       Op::Read,
       {"7", "T"},
       "",
       100.0f},
      {"strays before the full scale",
       [](ScriptedPort& p) {
         const std::string reply = FullScaleReply(625);
         p.AnswerInChunks({{"xx" + reply.substr(0, 7), 0}, {reply.substr(7), 30}});
         p.Answer(kReading);
       },
       Op::Read,
       {"7", "T"},
       "",
       100.0f},
      {"a silent monitor",
       [](ScriptedPort& p) { p.Answer(FullScaleReply(625)).Silence(); },
       Op::Read,
       {"7", "T"},
       "Timeout"},
      {"a garbled full scale",
       [](ScriptedPort& p) { p.Answer("xxxxxxxxx"); },
       Op::Read,
       {"7"},
       "Unexpected resultxxxxxxxxx in Command7."},
      {"a reading that is no number",
       [](ScriptedPort& p) { p.Answer(FullScaleReply(625)).Answer("-----,12.50 0\r\n>"); },
       Op::Read,
       {"7", "T"},
       "Error in GetReading"},
      {"a refused send",
       [](ScriptedPort& p) { p.FailSends("Port not open"); },
       Op::Read,
       {},
       "Port not open"},
      {"the alarm reset", [](ScriptedPort& p) { p.Answer("A"); }, Op::ResetAlarm, {"A"}, ""},
      {"a wrong echo of the reset",
       [](ScriptedPort& p) { p.Answer("B"); },
       Op::ResetAlarm,
       {"A"},
       "Unexpected result in CommandA."},
      {"the identification after a stray byte",
       [](ScriptedPort& p) {
         const std::string id = IdReply("KRFMON03", "06/01/12");
         p.AnswerInChunks({{"#" + id.substr(0, 39), 0}, {id.substr(39), 30}});
       },
       Op::Identify,
       {"I"},
       ""},
      {"no identification",
       [](ScriptedPort& p) { p.Answer(std::string(40, '?')); },
       Op::Identify,
       {"I"},
       "Unexpected result" + std::string(40, '?') + " in CommandI."},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    port.Reset();
    buffer.Clear();
    reading = {};
    r.script(port);
    EXPECT_EQ(Run(r.op), r.outcome);
    EXPECT_EQ(port.sent(), r.sent);
    if (r.op == Op::Read && r.outcome.empty()) {
      EXPECT_FLOAT_EQ(reading.Forward, r.forward);
      EXPECT_FALSE(reading.RawMode);
    }
  }
  // The failed identification left the session unidentified, as CommandI does.
  EXPECT_EQ(monitor.ModelId(), "");
  EXPECT_EQ(monitor.FirmwareDate(), EncodeDate(1980, 1, 1));
}

TEST_F(MonitorExchangesTest, AnIdentificationSetsTheModelAfterTheSettlePause) {
  port.Answer(IdReply("KRFMON04", "01/08/10"));
  EXPECT_EQ(Run(Op::Identify), "");
  EXPECT_EQ(monitor.ModelId(), "KRFMON04");
  EXPECT_EQ(monitor.FirmwareDate(), EncodeDate(2010, 1, 8));
}

TEST_F(MonitorExchangesTest, ACancelledExchangeCompletesNeverAndTheNextOneRuns) {
  port.Silence().Answer("A");
  bool completed = false;
  exchanges.Read([&](const TMonitorReading&, std::exception_ptr) { completed = true; });
  exchanges.Cancel();
  EXPECT_FALSE(exchanges.Busy());
  EXPECT_EQ(Run(Op::ResetAlarm), "");
  EXPECT_FALSE(completed);
}

}  // namespace
}  // namespace vemo::test
