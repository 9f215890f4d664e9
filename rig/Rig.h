// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One Hamlib connection to a rig: a rigctld on the network ("host:port", Hamlib's network
// model, so that several programs share one rig) or a rig model on its own serial port.
// Every call is serialised by the connection's own lock, so the poller and the interlock
// may share one; a network rig gets a second connection for commands instead, so that an
// unkey never waits behind a poll. Failures raise RigError with the text the user reads;
// a failure that means the rig went away (time-out, I/O, refused) also closes the
// connection, and the next call reopens it.

#include "platform/Exception.h"

#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct s_rig;

namespace vemo {

class RigError : public Exception {
 public:
  RigError(const std::string& message, bool lost) : Exception(message), lost_(lost) {}
  // The rig went away (or never answered); as against a command it refused.
  bool Lost() const { return lost_; }

 private:
  bool lost_;
};

// Hamlib's network rig: a rigctld at Path.
constexpr int kRigctldModel = 2;

struct TRigTarget {
  int Model = kRigctldModel;
  std::string Path;  // host:port for rigctld, else the serial device
  int Speed = 0;     // baud; 0: the model's default
  int TimeoutMs = 1000;
  bool operator==(const TRigTarget&) const = default;
};

struct TRigModel {
  int Model = 0;
  std::string Maker, Name;
};
// Every rig model Hamlib knows, by maker and name.
std::vector<TRigModel> RigModels();

// "HOST:PORT" as the tool and the service take it; raises RigError on anything else.
TRigTarget RigctldTarget(const std::string& hostPort);

class Rig {
 public:
  explicit Rig(TRigTarget target);
  ~Rig();
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  const TRigTarget& Target() const { return target_; }
  // "rigctld at 127.0.0.1:4532" or "model 1035 on /dev/ttyUSB0", for messages.
  std::string Description() const;

  void Open();  // a no-op when open
  void Close();

  double Frequency();  // hertz
  void SetFrequency(double hz);
  // Hamlib's mode name ("USB", "CW", "FM", "RTTY") and passband in hertz.
  std::pair<std::string, long> Mode();
  void SetMode(const std::string& mode, long passbandHz = 0);
  bool Ptt();
  void SetPtt(bool keyed);
  // RF power as a fraction of the rig's maximum (0..1); none when the rig does not tell.
  std::optional<double> Power();
  void SetPower(double fraction);
  // Watts <-> fraction at the current frequency and mode, where the rig's model knows its
  // range; none otherwise.
  std::optional<double> FractionForWatts(double watts);

 private:
  void OpenLocked();
  void Check(int status, const char* what);

  TRigTarget target_;
  mutable std::mutex mutex_;
  s_rig* rig_ = nullptr;
  bool open_ = false;
};

}  // namespace vemo
