// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// vemoswr-sim: a simulated power monitor on a pseudo-terminal.
//
// The server opens a pty, puts its terminal side in raw mode (no echo, no CR/LF
// translation) and keeps that side open itself, so a client may close and re-open the
// device as often as it likes. When the client closes it, whatever the monitor had not
// sent yet is dropped, as on a real line. It answers the monitor's protocol through
// SimMonitor, with the timing faults of SimConfig applied here.
//
// Standard input takes control lines, each answered on standard output with
// "ok <line>" or "error <line>":
//   forward <W>      applied forward power
//   reflected <W>    reflected power
//   frequency <Hz>   the transmitter's frequency, for the antenna of --resonance
//   full-scale <W>   fit another range: the full scale the monitor reports, stored in
//                    EEPROM words 32 and 34 and in use at once
//   power-cycle      switch the monitor off and on: it loads its EEPROM (calibration
//                    words, full scale) again and drops the replies it had not sent
//   hangup           drop the line now, as if the monitor were unplugged
//   plug             after a hang-up: plugged in again, on a new pty behind the same link
//   burst <N>        send N random bytes (1..4096) at once
//   reading-reply <hex>  answer every reading with exactly these bytes (hexadecimal) from
//                    now on, whatever is measured; without bytes: measure again
//   line-noise <burst> <truncate> <overlong> <jitter-ms>
//                    the line-noise options of SimConfig from now on (all 0: a sane line)
//
// Transcript (--transcript FILE): one JSON object per line, flushed per line.
//   {"t_ms":123,"dir":"rx","cmd":"M","hex":"4d3032363231","text":"M02621"}
//   {"t_ms":124,"dir":"tx","cmd":"M","hex":"483d30323632310d0a3e","text":"H=02621\r\n>"}
//   {"t_ms":900,"dir":"event","text":"hangup"}
// t_ms: milliseconds since the simulator started. "rx": exactly one command as received,
// "cmd" being its first character; an optional "note" says why it got no reply:
// "unsupported" (this model ignores it), "bad argument", "unknown" (a byte that starts
// no command; one line per byte), "incomplete" (the rest never came within 1 s),
// "unanswered" (silenced by --silent or --stop-after). "tx": one reply, logged when its
// last byte has been written, "cmd" naming the command it answers. "text" holds each
// byte as the Unicode code point of the same value (JSON-escaped), "hex" the bytes in
// lower-case hexadecimal. Events: "client closed" (the client closed the device),
// "power cycle", "hangup" (the line was dropped), "plug" (a new line), "burst" (random
// bytes sent unasked), "stop" (SIGINT/SIGTERM).

#include <chrono>
#include <deque>
#include <memory>
#include <random>
#include <string>

#include "sim/Antenna.h"
#include "sim/SimConfig.h"
#include "sim/SimMonitor.h"
#include "sim/Transcript.h"

namespace vemo::sim {

class SimServer {
 public:
  // Opens the pty and, when linkPath is not empty, points a symbolic link there at its
  // device. Raises std::runtime_error on failure.
  SimServer(const SimConfig& config, const std::string& linkPath,
            const std::string& transcriptPath);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  const std::string& DevicePath() const { return devicePath_; }

  // Serves until signalFd becomes readable (SIGINT/SIGTERM through a signalfd).
  void Run(int signalFd);

 private:
  struct Outgoing {
    std::string command;
    std::string bytes;
    size_t sent = 0;
    SimTime due;
    bool hangUpAfter = false;
    bool fresh = false;  // queued in the current turn of the loop
  };

  void OpenPty();
  void CreateLink();
  void RemoveLink();
  // True when bytes came.
  bool OnMasterReadable();
  // The client opened or closed the device; freshData: bytes came in this same turn.
  void OnClientOpenedOrClosed(bool freshData);
  void OnControlLine(const std::string& line);
  // Forward and reflected power as the antenna and the rig make them now.
  void ApplyAntenna();
  void ReadControl();
  void WritePending();
  void PowerCycle();
  void HangUp();
  void LetClientTakeReply();
  // False when the line is still there.
  bool Plug();
  std::string RandomBytes(size_t low, size_t high);
  // reply as the noise of SimConfig leaves it.
  std::string WithLineNoise(std::string reply);
  bool SetLineNoise(std::istream& in);
  int64_t Millis() const;

  SimConfig config_;
  SimMonitor monitor_;
  std::string linkPath_;
  std::string replugPath_;  // where the link is made again when plugged in after a hang-up
  std::unique_ptr<Transcript> transcript_;
  std::string devicePath_;
  int master_ = -1;
  int slave_ = -1;    // held open so the line survives the client closing it
  int inotify_ = -1;  // tells when the client closes the device
  bool stdinOpen_ = true;
  std::string controlBuffer_;
  std::unique_ptr<RigFollower> rig_;
  double frequencyHz_ = 0;
  std::deque<Outgoing> outgoing_;
  SimTime nextByte_{};
  bool blockedOnWrite_ = false;
  long commands_ = 0;
  std::mt19937 noise_;
  const SimTime start_ = std::chrono::steady_clock::now();
};

}  // namespace vemo::sim
