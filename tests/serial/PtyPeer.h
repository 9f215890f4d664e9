// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test support for the serial layer: the far end of a pseudo-terminal standing in for
// the device, port numbers mapped to pty slaves through the settings file, and waits
// that run the GUI thread's event loop.

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace vemo::test {

using namespace std::chrono_literals;

// The master side of a pty pair; the port opens SlavePath(). Closing the master hangs
// the slave up, as unplugging a USB adapter does.
class PtyPeer {
 public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& SlavePath() const { return slavePath_; }
  int Fd() const { return master_; }
  void Write(std::string_view bytes);
  // Reads until n bytes came or the time-out passed; returns what came.
  std::string Read(size_t n, std::chrono::milliseconds timeout = 2000ms);
  // Whatever is there within `quiet` of silence.
  std::string ReadAvailable(std::chrono::milliseconds quiet = 100ms);
  void Unplug();

 private:
  int master_ = -1;
  std::string slavePath_;
};

// Points COM<n> at path in a settings file of the test run (VEMOSWR_INI).
void MapPort(int n, const std::string& path);

// Runs the event loop until done() or the time-out; returns done().
bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = 3000ms);
// Runs the event loop for a while.
void ProcessFor(std::chrono::milliseconds span);

// Threads of this process and CPU time it used so far.
int ThreadCount();
// The thread count once joined threads have left /proc: a joined thread's entry can
// outlive the join for a moment on a loaded machine. Waits up to a second for `expected`.
int ThreadCountSettled(int expected);
std::chrono::milliseconds ProcessCpuTime();

}  // namespace vemo::test
