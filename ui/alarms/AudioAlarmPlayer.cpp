// SPDX-License-Identifier: GPL-3.0-or-later
// The alarm player on the default audio output: the tone pattern generated once, fed to a
// QAudioSink from a device that reads it round and round until the sink is stopped.
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QIODevice>

#include <algorithm>
#include <cstring>

#include "ui/alarms/AlarmPlayer.h"
#include "ui/alarms/AlarmTone.h"
#include "ui/alarms/PcmOutput.h"

namespace vemo {

namespace {

class LoopingPcm : public QIODevice {
 public:
  explicit LoopingPcm(QByteArray pcm) : pcm_(std::move(pcm)) {}
  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override { return pcm_.size() + QIODevice::bytesAvailable(); }

 protected:
  qint64 readData(char* data, qint64 maxSize) override {
    qint64 done = 0;
    while (done < maxSize && !pcm_.isEmpty()) {
      const qint64 n = std::min<qint64>(maxSize - done, pcm_.size() - at_);
      std::memcpy(data + done, pcm_.constData() + at_, static_cast<size_t>(n));
      done += n;
      at_ = (at_ + n) % pcm_.size();
    }
    return done;
  }
  qint64 writeData(const char*, qint64) override { return -1; }

 private:
  QByteArray pcm_;
  qint64 at_ = 0;
};

class AudioAlarmPlayer : public AlarmPlayer {
 public:
  explicit AudioAlarmPlayer(Problem problem) : problem_(std::move(problem)) {}
  ~AudioAlarmPlayer() override { Stop(); }

  void Play() override {
    if (sink_) return;
    const PcmOutput out = DefaultPcmOutput();
    if (out.Problem == PcmOutput::Failure::NoDevice) {
      Tell(
          "No audio device: the alarm cannot sound. Connect or switch on a sound output; "
          "the alarm shows on the screen and in the log meanwhile.");
      return;
    }
    if (out.Problem == PcmOutput::Failure::NoFormat) {
      Tell("The audio device \"" + out.Device.description().toStdString() +
           "\" cannot play the alarm tone: the alarm shows on the screen only.");
      return;
    }
    QByteArray pcm = Interleaved(AlarmTonePcm(out.Format.sampleRate()), out.Format);

    source_ = std::make_unique<LoopingPcm>(std::move(pcm));
    source_->open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(out.Device, out.Format);
    QObject::connect(sink_.get(), &QAudioSink::stateChanged, sink_.get(),
                     [this](QAudio::State) { CheckSink(); });
    sink_->start(source_.get());
    CheckSink();
  }

  void Stop() override {
    if (!sink_) return;
    sink_->disconnect();
    sink_->stop();
    sink_.reset();
    source_.reset();
  }

 private:
  void CheckSink() {
    if (!sink_ || sink_->error() == QAudio::NoError) return;
    const QAudio::Error error = sink_->error();
    // The sink cannot be torn down from inside its own signal.
    QAudioSink* failed = sink_.release();
    failed->disconnect();
    failed->deleteLater();
    source_.release()->deleteLater();
    Tell(error == QAudio::OpenError
             ? "The audio device could not be opened: the alarm cannot sound."
             : "The audio device failed while the alarm sounded.");
  }

  void Tell(const std::string& message) {
    if (problem_) problem_(message);
  }

  Problem problem_;
  std::unique_ptr<LoopingPcm> source_;
  std::unique_ptr<QAudioSink> sink_;
};

}  // namespace

std::unique_ptr<AlarmPlayer> MakeAudioAlarmPlayer(AlarmPlayer::Problem problem) {
  return std::make_unique<AudioAlarmPlayer>(std::move(problem));
}

}  // namespace vemo
