// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The order in which confirmed options reach the monitor. Widget-free.

#include <cstdint>
#include <functional>

#include "monitor/MonitorSettings.h"
#include "ui/dialogs/SettingsForwarders.h"

namespace vemo {

// The single-relay options dialog's nine settings, in this order: alarm enable, relay
// sense, latch, alarm at power-up, push-to-talk, VSWR level, check on zero power, high
// power alarm, low power alarm. Every one is sent whatever the model; the session decides
// what each sends. The first failure propagates and stops the sequence.
void SendOptionsSettings(const MonitorSettings& settings, ISettingsForwarders& forwarders);

// The dual-relay model's settings after its dialog closes with OK, in this order: alarm
// enable, relay sense, relay 2 sense, latch, alarm at power-up, push-to-talk, VSWR level,
// check on zero power, high power alarm, low power alarm, and last the analog output gains
// word (forward gain in the low byte) through writeDACGains, i.e. the session's
// WriteDACGains. The first failure propagates and stops the sequence.
void SendDualRelaySettings(const MonitorSettings& settings, ISettingsForwarders& forwarders,
                           const std::function<void(uint16_t gains)>& writeDACGains);

}  // namespace vemo
