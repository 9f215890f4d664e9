// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Runs the simulated monitor (build/bin/vemoswr-sim) for a test: start it with options,
// get its device path, steer it, read back what it received and sent, stop or kill it.
//
//   vemo::test::SimProcess sim;
//   const std::string device = sim.Start({"--model", "KRFMON04", "--noise", "0"});
//   ... open device, talk to it ...
//   EXPECT_EQ(sim.ReceivedCommands(), (std::vector<std::string>{"I", "7", "T"}));
//
// Tests that link vemo_test_sim get vemoswr-sim built first.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QProcess;
class QTemporaryDir;

namespace vemo::test {

// One line of the simulator's transcript.
struct TranscriptEntry {
  int64_t tMs = 0;
  std::string dir;   // "rx" (a command received), "tx" (a reply sent) or "event"
  std::string cmd;   // rx/tx: first character of the command
  std::string text;  // the bytes (rx: the whole command; tx: the reply; event: its name)
  std::string hex;
  std::string note;  // rx: why no reply came ("unsupported", "unknown", ...), else empty
};

class SimProcess {
 public:
  SimProcess();
  ~SimProcess();  // stops the simulator if it still runs
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  // Starts vemoswr-sim with args, adding "--transcript <temporary file>" unless args name
  // one. Returns the device path (its first line of output). Raises std::runtime_error
  // when it does not start within five seconds.
  std::string Start(const std::vector<std::string>& args = {});

  const std::string& DevicePath() const { return devicePath_; }
  const std::string& TranscriptPath() const { return transcriptPath_; }

  // The transcript as written so far.
  std::vector<TranscriptEntry> Transcript() const;
  // The commands received so far, in order (texts of the "rx" lines that were commands).
  std::vector<std::string> ReceivedCommands() const;
  // Polls the transcript until done(entries) holds; false after the timeout.
  bool WaitForTranscript(const std::function<bool(const std::vector<TranscriptEntry>&)>& done,
                         std::chrono::milliseconds timeout = std::chrono::seconds(2)) const;

  // What happens at the monitor's side; each returns once the simulator has applied it.
  void SetForward(double watts);
  void SetReflected(double watts);
  void SetFullScale(double watts);
  void PowerCycle();      // the monitor loads what was written to its EEPROM
  void HangUp();          // the monitor is unplugged: the line drops and the device disappears
  void Plug();            // ... and plugged in again: a new device behind the same --link
  void Burst(int bytes);  // random bytes on the line, unasked
  // Every reading is answered with exactly these bytes from now on; "": measured again.
  void SetReadingReply(const std::string& bytes);

  // SIGTERM and wait; returns the exit code (-1 when it crashed or had to be killed).
  int Stop();
  // SIGKILL: the monitor dies without cleaning up (the line drops, a --link stays behind).
  void Kill();
  bool Running() const;

  // $VEMO_BIN_DIR/vemoswr-sim, or ../bin/vemoswr-sim beside the test executable's folder.
  static std::string Executable();

 private:
  void Control(const std::string& line);

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<QProcess> process_;
  std::string devicePath_;
  std::string transcriptPath_;
};

}  // namespace vemo::test
