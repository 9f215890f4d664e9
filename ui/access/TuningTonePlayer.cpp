// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/access/TuningTonePlayer.h"

#include <QAudioSink>
#include <QCoreApplication>
#include <QIODevice>

#include <atomic>
#include <cmath>
#include <deque>
#include <mutex>
#include <numbers>

#include "station/TuningPitch.h"
#include "ui/alarms/PcmOutput.h"

namespace vemo {

namespace {
constexpr double kAmplitude = 0.4 * 32767;
constexpr int kBeepMs = 60;
constexpr int kMorseDotMs = 60;  // 20 words a minute
constexpr double kMorseHz = 700;
constexpr int kBufferMs = 100;
// The level glides to each new target over about this long: steps click.
constexpr double kGlideMs = 5;
}  // namespace

// Makes samples on demand. Pitch and beeps come from the GUI thread, reads may come from
// the audio backend's: the shared state is atomic or behind the lock.
class ToneSource : public QIODevice {
 public:
  ToneSource(int sampleRate, int channels) : rate_(sampleRate), channels_(channels) {}

  void SetPitch(std::optional<double> hz) { hz_.store(hz.value_or(0)); }
  void Beep() { beepLeft_.store(rate_ * kBeepMs / 1000); }
  void Morse(const std::vector<int>& timing) {
    std::lock_guard lock(mutex_);
    morse_.clear();
    for (int units : timing) morse_.push_back(units * rate_ * kMorseDotMs / 1000);
  }

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    const qint64 frameBytes = 2 * channels_;
    const qint64 frames = maxSize / frameBytes;
    auto* out = reinterpret_cast<int16_t*>(data);
    std::lock_guard lock(mutex_);
    for (qint64 f = 0; f < frames; ++f) {
      double hz = hz_.load();
      if (!morse_.empty()) {
        // A key-down element sounds at the Morse pitch; a gap silences the tone too.
        hz = morse_.front() > 0 ? kMorseHz : 0;
        morse_.front() += morse_.front() > 0 ? -1 : 1;
        if (morse_.front() == 0) morse_.pop_front();
      } else if (beepLeft_.load() > 0) {
        beepLeft_.fetch_sub(1);
        hz = kTuneBeepHz;
      }
      const double target = hz > 0 ? 1.0 : 0.0;
      level_ += (target - level_) / (rate_ * kGlideMs / 1000);
      if (hz > 0) lastHz_ = hz;
      phase_ = std::fmod(phase_ + 2 * std::numbers::pi * lastHz_ / rate_, 2 * std::numbers::pi);
      const auto sample = static_cast<int16_t>(std::lround(kAmplitude * level_ * std::sin(phase_)));
      for (int c = 0; c < channels_; ++c) *out++ = sample;
    }
    return frames * frameBytes;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  const int rate_;
  const int channels_;
  std::atomic<double> hz_{0};
  std::atomic<int> beepLeft_{0};
  std::mutex mutex_;
  std::deque<int> morse_;  // samples per element: positive on, negative off
  double level_ = 0;
  double lastHz_ = kTuneWorstHz;  // a fading tone keeps its pitch
  double phase_ = 0;
};

TuningTonePlayer::TuningTonePlayer(Problem problem) : problem_(std::move(problem)) {}

TuningTonePlayer::~TuningTonePlayer() {
  Stop();
}

bool TuningTonePlayer::Start() {
  if (sink_) return true;
  const PcmOutput out = DefaultPcmOutput();
  if (out.Problem != PcmOutput::Failure::None) {
    if (problem_)
      problem_(QCoreApplication::translate(
          "TuningTonePlayer",
          "No usable audio output: the tuning tone cannot sound. Connect or switch on a "
          "sound output."));
    return false;
  }
  source_ = std::make_unique<ToneSource>(out.Format.sampleRate(), out.Format.channelCount());
  source_->open(QIODevice::ReadOnly);
  sink_ = std::make_unique<QAudioSink>(out.Device, out.Format);
  sink_->setBufferSize(out.Format.bytesForDuration(kBufferMs * 1000));
  sink_->start(source_.get());
  if (sink_->error() != QAudio::NoError) {
    Stop();
    if (problem_)
      problem_(QCoreApplication::translate(
          "TuningTonePlayer",
          "The audio device could not be opened: the tuning tone cannot sound."));
    return false;
  }
  return true;
}

void TuningTonePlayer::Stop() {
  if (!sink_) return;
  sink_->stop();
  sink_.reset();
  source_.reset();
}

void TuningTonePlayer::SetPitch(std::optional<double> hz) {
  if (source_) source_->SetPitch(hz);
}

void TuningTonePlayer::Beep() {
  if (source_) source_->Beep();
}

void TuningTonePlayer::SendMorse(const QString& morse) {
  if (source_) source_->Morse(MorseTiming(morse));
}

}  // namespace vemo
