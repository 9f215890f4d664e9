// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which commands a monitor model understands, by its identification and firmware date.
// Commands outside a model's set are ignored by the monitor: it sends no reply.

#include <string>

#include "sim/SimConfig.h"

namespace vemo::sim {

class DeviceModel {
 public:
  DeviceModel(std::string id, FirmwareDate firmware);

  // command: the command byte ('B', '5', 'W', ...); false when this model ignores it.
  bool Understands(char command) const;
  // Dual-byte binary full-scale reply ("P=" + 2 bytes) instead of the four-byte form.
  bool HasShortFullScaleReply() const;

  const std::string& Id() const { return id_; }
  const FirmwareDate& Firmware() const { return firmware_; }

 private:
  std::string id_;
  FirmwareDate firmware_;
};

}  // namespace vemo::sim
