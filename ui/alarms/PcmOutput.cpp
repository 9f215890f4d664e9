// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/PcmOutput.h"

#include <QMediaDevices>

namespace vemo {

PcmOutput DefaultPcmOutput() {
  PcmOutput out;
  out.Device = QMediaDevices::defaultAudioOutput();
  if (out.Device.isNull()) {
    out.Problem = PcmOutput::Failure::NoDevice;
    return out;
  }
  QAudioFormat& format = out.Format;
  format.setSampleRate(48000);
  format.setChannelCount(1);
  format.setSampleFormat(QAudioFormat::Int16);
  if (!out.Device.isFormatSupported(format)) {
    // Let the device's own rate and channels decide; the samples stay 16-bit.
    format.setSampleRate(out.Device.preferredFormat().sampleRate());
    format.setChannelCount(out.Device.preferredFormat().channelCount());
  }
  if (!out.Device.isFormatSupported(format) || format.sampleRate() <= 0 ||
      format.channelCount() <= 0)
    out.Problem = PcmOutput::Failure::NoFormat;
  return out;
}

QByteArray Interleaved(const std::vector<int16_t>& mono, const QAudioFormat& format) {
  QByteArray pcm;
  pcm.reserve(static_cast<qsizetype>(mono.size() * format.channelCount() * sizeof(int16_t)));
  for (const int16_t sample : mono)
    for (int c = 0; c < format.channelCount(); ++c)
      pcm.append(reinterpret_cast<const char*>(&sample), sizeof sample);
  return pcm;
}

}  // namespace vemo
