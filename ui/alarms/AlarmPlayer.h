// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Plays the alarm's tone pattern over and over until stopped. Behind this interface so
// that the window can be tested without an audio device, and so that a missing or failing
// device costs the sound only.

#include <functional>
#include <memory>
#include <string>

namespace vemo {

class AlarmPlayer {
 public:
  // Told what went wrong, in words for the status area; the caller tells it once.
  using Problem = std::function<void(const std::string& message)>;

  virtual ~AlarmPlayer() = default;
  // Starts the pattern unless it plays already; trouble goes to the Problem function.
  virtual void Play() = 0;
  virtual void Stop() = 0;
};

using AlarmPlayerFactory = std::function<std::unique_ptr<AlarmPlayer>(AlarmPlayer::Problem)>;

// The program's player (Qt Multimedia on the default audio output), or the factory tests
// put in place with SetAlarmPlayerFactory (an empty one restores the program's).
std::unique_ptr<AlarmPlayer> MakeAlarmPlayer(AlarmPlayer::Problem problem);
void SetAlarmPlayerFactory(AlarmPlayerFactory factory);

// The real player; MakeAlarmPlayer gives it unless a test has put its own in place.
std::unique_ptr<AlarmPlayer> MakeAudioAlarmPlayer(AlarmPlayer::Problem problem);

}  // namespace vemo
