// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/alarms/AlarmPlayer.h"

namespace vemo {

namespace {
AlarmPlayerFactory& Factory() {
  static AlarmPlayerFactory factory;
  return factory;
}
}  // namespace

std::unique_ptr<AlarmPlayer> MakeAlarmPlayer(AlarmPlayer::Problem problem) {
  if (const AlarmPlayerFactory& factory = Factory()) return factory(std::move(problem));
  return MakeAudioAlarmPlayer(std::move(problem));
}

void SetAlarmPlayerFactory(AlarmPlayerFactory factory) {
  Factory() = std::move(factory);
}

}  // namespace vemo
