// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's own calibration step and its dialogue with the operator.
#include "SessionFixture.h"

#include <clocale>
#include <deque>
#include <memory>

namespace vemo::test {
namespace {

using ::testing::ElementsAre;

// Answers the questions from a script and remembers what it was shown.
class ScriptedOperator : public IOperatorPrompt {
 public:
  explicit ScriptedOperator(std::deque<bool> answers) : answers_(std::move(answers)) {}
  bool AskOkCancel(const std::string& text) override {
    shown.push_back(text);
    if (answers_.empty()) return false;
    const bool ok = answers_.front();
    answers_.pop_front();
    return ok;
  }
  std::vector<std::string> shown;

 private:
  std::deque<bool> answers_;
};

const std::string kErrorText =
    "The SWR monitor returned an error while attempting\rthe calibration.\r";

TEST_F(SessionTest, CalibrationStepsAskForTheirPowerAndEndOnTheMonitorsWord) {
  struct Row {
    uint8_t step;
    const char* prompt;
    const char* message;
  };
  const Row rows[] = {
      {0, "PZ?>", "Disconnect RF power now. (Ok when ready)\r"},
      {1, "PF?>", "Connect    100.00 W in forward direction. (Ok when ready)\r"},
      {2, "PR?>", "Connect    10.000 W in reflected direction. (Ok when ready)\r"},
  };
  for (const Row& r : rows) {
    port.ClearSent();
    port.Answer(FullScaleReply(625)).Answer(r.prompt).Answer("M\r\n>");
    ScriptedOperator op({true});
    monitor.DoCalibration(r.step, op);
    EXPECT_THAT(op.shown, ElementsAre(r.message));
    EXPECT_THAT(port.sent(), ElementsAre("7", std::string(1, '0' + r.step), "Y"));
  }
}

TEST_F(SessionTest, CalibrationPowersUseAPointWhateverTheLocale) {
  // The command-line tool and tests run with the user's locale for the C library.
  const std::unique_ptr<const char, void (*)(const char*)> german(
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8"),
      [](const char*) { std::setlocale(LC_NUMERIC, "C"); });
  if (!german) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  port.Answer(FullScaleReply(625)).Answer("PR?>").Answer("M\r\n>");
  ScriptedOperator op({true});
  monitor.DoCalibration(2, op);
  EXPECT_THAT(op.shown,
              ElementsAre("Connect    10.000 W in reflected direction. (Ok when ready)\r"));
}

TEST_F(SessionTest, CalibrationStepEndsSilentlyWithoutTheMonitorsPrompt) {
  port.Answer(FullScaleReply(625)).Answer("PF?>");
  ScriptedOperator op({true});
  monitor.DoCalibration(0, op);  // step 0 expects "PZ?>"
  EXPECT_TRUE(op.shown.empty());
  EXPECT_THAT(port.sent(), ElementsAre("7", "0"));
}

TEST_F(SessionTest, MonitorErrorAsksTheOperatorAgainUntilCancelEndsTheStep) {
  port.Answer(FullScaleReply(625))
      .Answer("PF?>")
      .AnswerInChunks({{"E \r\n", 0}, {"ERR>", 20}})  // OK, the monitor reports an error
      .Answer("E\r\n>");                              // Cancel ends the step
  ScriptedOperator op({true, false});
  monitor.DoCalibration(1, op);
  const std::string message = "Connect    100.00 W in forward direction. (Ok when ready)\r";
  EXPECT_THAT(op.shown, ElementsAre(message, kErrorText + message));
  EXPECT_THAT(port.sent(), ElementsAre("7", "1", "Y", "Q"));
}

TEST_F(SessionTest, CalibrationStepTakesAPromptAlreadyInTheBuffer) {
  // Only the full-scale exchange empties the buffer; the prompt that arrived right
  // behind its reply is the answer to the step command.
  port.Answer(FullScaleReply(625) + "PZ?>").Silence().Answer("M\r\n>");
  ScriptedOperator op({true});
  monitor.DoCalibration(0, op);
  EXPECT_EQ(op.shown.size(), 1u);
  EXPECT_THAT(port.sent(), ElementsAre("7", "0", "Y"));
}

TEST_F(FastSessionTest, CalibrationFailuresAreReportedWithWhatWasReceived) {
  port.Answer(FullScaleReply(625)).Answer("PR?>").Answer("E", 0);
  ScriptedOperator op({true});
  EXPECT_EQ(MessageOf([&] { monitor.DoCalibration(2, op); }),
            "Unexpected resultE in DoCalibration.");

  port.Silence();  // no full scale: nothing was read of the step yet
  EXPECT_EQ(MessageOf([&] { monitor.DoCalibration(0, op); }),
            "Unexpected result in DoCalibration.");

  port.FailSends("Port not open");
  EXPECT_EQ(MessageOf([&] { monitor.DoCalibration(0, op); }), "An IO exception occurred.");
  EXPECT_EQ(MessageOf([&] { monitor.DoCalibration(3, op); }), "Invalid calibration step 3");
}

}  // namespace
}  // namespace vemo::test
