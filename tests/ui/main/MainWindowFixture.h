// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window against the simulated monitor, through the real serial layer: each test
// gets its own settings file (VEMOSWR_INI), its own simulator mapped to a COM number,
// and a message-box hook that records every box and answers it without a screen.

#include <gtest/gtest.h>
#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/SimProcess.h"
#include "ui/main/Main.h"
#include "ui/main/MainForms.h"

namespace vemo::test {

struct ShownMessage {
  QMessageBox::Icon icon;
  std::string text;
  QMessageBox::StandardButtons buttons;
};

// The settle pause of the windows under test.
constexpr std::chrono::milliseconds kTestSettle{50};

// The read-outs of 100 W forward and 1 W reflected on a full scale below 1000 W.
void ExpectWorkedExample(const TFormMain& f);

// What the window asked of its alarm player; no test makes a sound.
struct PlayerRequests {
  int plays = 0;  // Play while not playing
  int stops = 0;  // Stop while playing
  bool playing = false;
  std::function<void()> onPlay;  // called at each Play that starts the sound
};

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the simulator (noise off unless args say otherwise) and maps COM<port> to it.
  void StartSim(std::vector<std::string> args = {}, int port = 1);
  // Appends lines to the settings file.
  void AddSettings(const std::string& text);
  std::string SettingsText() const;
  // Reply time limits of windows opened from now on pass factor times faster.
  void SpeedUpReplies(int factor);
  // Creates the main window: it reads the settings and connects.
  TFormMain& Open();
  // The window of Open or OpenWithDialogs.
  TFormMain& Window();
  // Creates the main window and the dialogs as the program does.
  TFormMain& OpenWithDialogs();
  // Closes the window as the user would and destroys it.
  void CloseWindow();

  // Runs the event loop until done() holds; false after timeout.
  static bool WaitUntil(const std::function<bool()>& done,
                        std::chrono::milliseconds timeout = std::chrono::seconds(8));
  // The texts of the boxes shown so far.
  std::vector<std::string> MessageTexts() const;
  // Commands the simulator has received so far.
  std::vector<std::string> Commands() const { return sim.ReceivedCommands(); }
  size_t CountCommand(const std::string& command) const;
  // Waits for a reading requested through the menu, shown once the read-out changes.
  void TriggerAndWait();
  // Runs action once, from inside the first tick that has sent command to the monitor
  // (an exchange waits in a nested event loop, so the test's own loop only sees ticks
  // that have ended). Returns at once; ranDuringTick tells when it has run.
  void DuringExchange(const std::string& command, std::function<void()> action);
  bool ranDuringTick = false;
  // Calls handle with the next modal dialog once it is up (from inside its modal loop).
  void WhenModal(std::function<void(QDialog*)> handle);

  QTemporaryDir dir;
  std::unique_ptr<Clock> replyClock;
  std::string iniPath;
  SimProcess sim;
  std::unique_ptr<TFormMain> form;
  std::unique_ptr<TApplicationForms> appForms;
  std::vector<ShownMessage> messages;
  // Answers for the next boxes, oldest first; Ok once they run out.
  std::deque<QMessageBox::StandardButton> answers;
  // Called for every box before it is answered.
  std::function<void(const ShownMessage&)> onMessage;
  QObject pollers;  // parent of the WhenModal timers
  PlayerRequests player;
};

}  // namespace vemo::test
