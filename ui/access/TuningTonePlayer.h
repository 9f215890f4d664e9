// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tuning tone on the default audio output: a continuous sine whose pitch the caller
// sets from each reading, short beeps laid over it, and Morse sent on demand. The samples
// are made as the sink asks for them, so a new pitch is heard within the sink's small
// buffer (about a tenth of a second), well inside one polling interval.

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QAudioSink;

namespace vemo {

class ToneSource;

class TuningTonePlayer {
 public:
  using Problem = std::function<void(const QString& message)>;
  explicit TuningTonePlayer(Problem problem);
  ~TuningTonePlayer();

  // Opens the output; false (told through Problem) without a usable device.
  bool Start();
  void Stop();
  bool Running() const { return sink_ != nullptr; }
  // The pitch from now on; none: silence.
  void SetPitch(std::optional<double> hz);
  void Beep();
  // Sends ".-- ..." (dots, dashes, spaces) once, over whatever else sounds.
  void SendMorse(const QString& morse);

 private:
  Problem problem_;
  std::unique_ptr<ToneSource> source_;
  std::unique_ptr<QAudioSink> sink_;
};

}  // namespace vemo
