// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hamlib's dummy rig (rigctld -m 1, with PTT) on a free loopback port for a test, and
// rigctl to read and change its state from outside the program, as another client would.

#include <string>
#include <vector>

class QProcess;

namespace vemo::test {

class RigctldProcess {
 public:
  RigctldProcess();
  ~RigctldProcess();  // stops it
  RigctldProcess(const RigctldProcess&) = delete;
  RigctldProcess& operator=(const RigctldProcess&) = delete;

  // Starts it (again on the same port after Stop) and waits until it takes connections;
  // raises std::runtime_error otherwise.
  void Start();
  void Stop();
  // "127.0.0.1:PORT"
  std::string Address() const;

  // rigctl -m 2 -r ADDRESS args...: its output, trimmed; raises when it fails.
  std::string Rigctl(const std::vector<std::string>& args) const;
  bool Ptt() const { return Rigctl({"t"}) == "1"; }
  double Frequency() const { return std::stod(Rigctl({"f"})); }

 private:
  QProcess* process_ = nullptr;
  int port_ = 0;
};

}  // namespace vemo::test
