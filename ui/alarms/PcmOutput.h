// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The default audio output for the program's generated sounds (the alarm and the tuning
// tone): 48 kHz mono 16-bit where the device takes it, else the device's own rate and
// channels with 16-bit samples.

#include <QAudioDevice>
#include <QAudioFormat>
#include <QByteArray>

#include <cstdint>
#include <vector>

namespace vemo {

struct PcmOutput {
  enum class Failure { None, NoDevice, NoFormat };
  Failure Problem = Failure::None;
  QAudioDevice Device;
  QAudioFormat Format;
};

PcmOutput DefaultPcmOutput();

// Mono samples copied into every channel of format, as bytes for a sink.
QByteArray Interleaved(const std::vector<int16_t>& mono, const QAudioFormat& format);

}  // namespace vemo
