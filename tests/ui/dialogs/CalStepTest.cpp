// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's own three-step calibration as the operator runs it from the main window's
// "Calibration" menu: the queued step, its prompts and answers, the error-and-retry loop,
// and continuous polling suspended during the step and resumed afterwards at 750 ms.
#include <gtest/gtest.h>

#include <QAction>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include <string>
#include <vector>

#include "tests/ui/main/MainWindowFixture.h"
#include "ui/dialogs/CalWiz.h"

namespace vemo::test {
namespace {

const std::string kRetry = "The SWR monitor returned an error while attempting\rthe calibration.\r";
const std::string kZero = "Disconnect RF power now. (Ok when ready)\r";
// At a stored full scale of 625 W the operator applies 100 W forward and 10 W reflected.
const std::string kForward = "Connect    100.00 W in forward direction. (Ok when ready)\r";
const std::string kReflected = "Connect    10.000 W in reflected direction. (Ok when ready)\r";

class CalibrationStep : public MainWindowTest {
 protected:
  void OpenOn(std::vector<std::string> simArgs) {
    simArgs.insert(simArgs.end(), {"--full-scale", "625"});
    StartSim(simArgs);
    Open();
    ASSERT_TRUE(form->Connected());
    messages.clear();
    connectCommands = Commands().size();
  }

  // Chooses the step's menu item and runs the tick that carries it out.
  void RunStep(int step) {
    QAction* items[] = {form->mnuCalZero, form->mnuCalForward, form->mnuCalReflected};
    items[step]->trigger();
    form->Timer1Timer();
  }

  std::vector<std::string> StepCommands() const {
    const std::vector<std::string> all = Commands();
    return {all.begin() + static_cast<ptrdiff_t>(connectCommands), all.end()};
  }

  size_t connectCommands = 0;
  TdlgCalWizard wizard;  // outlives the window, which refers to it
};

class EachCalibrationStep : public CalibrationStep, public ::testing::WithParamInterface<int> {};

TEST_P(EachCalibrationStep, AsksOnceAndEndsOnTheMonitorsConfirmation) {
  const int step = GetParam();
  const std::string prompts[] = {kZero, kForward, kReflected};
  OpenOn({});
  RunStep(step);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
  EXPECT_EQ(messages[0].text, prompts[step]);
  EXPECT_EQ(messages[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
  EXPECT_EQ(StepCommands(), (std::vector<std::string>{"7", std::to_string(step), "Y"}));
}

INSTANTIATE_TEST_SUITE_P(CalibrationStep, EachCalibrationStep, testing::Values(0, 1, 2));

TEST_F(CalibrationStep, CancelQuitsTheStepWithoutAnError) {
  OpenOn({});
  answers = {QMessageBox::Cancel};
  RunStep(1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kForward});
  EXPECT_EQ(StepCommands(), (std::vector<std::string>{"7", "1", "Q"}));
}

TEST_F(CalibrationStep, MonitorErrorsAskAgainUntilTheOperatorCancels) {
  OpenOn({"--calibration-error"});
  answers = {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Cancel};
  RunStep(2);
  EXPECT_EQ(MessageTexts(),
            (std::vector<std::string>{kReflected, kRetry + kReflected, kRetry + kReflected}));
  EXPECT_EQ(StepCommands(), (std::vector<std::string>{"7", "2", "Y", "Y", "Q"}));
}

TEST_F(CalibrationStep, MonitorAnsweringWithoutThePromptEndsTheStepSilently) {
  OpenOn({"--no-prompt-calibration"});
  RunStep(0);
  EXPECT_TRUE(messages.empty());
  EXPECT_EQ(StepCommands(), (std::vector<std::string>{"7", "0"}));
}

// Polling stops while the operator is asked and comes back, slower, after the step.
TEST_F(CalibrationStep, SuspendsContinuousPollingAndResumesItAt750Ms) {
  OpenOn({});
  form->mnuCommands_R->trigger();
  form->Timer1Timer();
  ASSERT_TRUE(form->Continuous());
  bool pollingDuringPrompt = true;
  onMessage = [&](const ShownMessage&) {
    pollingDuringPrompt = form->Continuous() || form->Timer1->isActive();
  };
  RunStep(1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{kForward});
  EXPECT_FALSE(pollingDuringPrompt);
  EXPECT_TRUE(form->Continuous());
  EXPECT_TRUE(form->Timer1->isActive());
  EXPECT_EQ(form->Timer1->interval(), 750);
}

TEST_F(CalibrationStep, SilentMonitorFailsTheStepAndPollingStillResumes) {
  OpenOn({"--stop-after", "1"});  // the identification is the last answer
  form->mnuCommands_R->trigger();
  form->Timer1Timer();
  RunStep(1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Unexpected result in DoCalibration."});
  EXPECT_EQ(StepCommands(), (std::vector<std::string>{"7"}));
  EXPECT_TRUE(form->Continuous());
  EXPECT_EQ(form->Timer1->interval(), 750);
}

// The wizard is queued like a step: polling is off while it is open, raw mode is switched
// on for it and off when it closes, and polling resumes at 750 ms.
TEST_F(CalibrationStep, WizardFromTheMenuSuspendsPollingWhileItIsOpen) {
  OpenOn({});
  TFormMain::Dialogs dialogs;
  dialogs.CalWizard = &wizard;
  form->SetDialogs(dialogs);
  wizard.SetMessageBox(
      [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons) {
        messages.push_back({icon, text.toStdString(), buttons});
        return QMessageBox::Ok;
      });
  form->mnuCommands_R->trigger();
  form->Timer1Timer();
  bool pollingWhileOpen = true;
  std::function<void()> cancelOnceReady = [&] {
    if (!wizard.isVisible() || !wizard.isEnabled() ||
        !wizard.findChild<QPushButton*>("btnCancel")->isEnabled()) {
      QTimer::singleShot(10, &wizard, cancelOnceReady);
      return;
    }
    pollingWhileOpen = form->Continuous() || form->Timer1->isActive();
    wizard.findChild<QPushButton*>("btnCancel")->click();
  };
  QTimer::singleShot(0, &wizard, cancelOnceReady);
  form->mnuCommandsCalWizard->trigger();
  form->Timer1Timer();
  EXPECT_TRUE(messages.empty());
  EXPECT_FALSE(pollingWhileOpen);
  EXPECT_FALSE(wizard.isVisible());
  EXPECT_EQ(CountCommand("Z"), 2u);  // raw mode on for the wizard, off after it
  EXPECT_TRUE(form->Continuous());
  EXPECT_EQ(form->Timer1->interval(), 750);
}

}  // namespace
}  // namespace vemo::test
