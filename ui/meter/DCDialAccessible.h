// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dial as screen readers see it: a value (the pointer's position, whole watts on every
// scale of the program's meter) with its minimum and maximum, and the range in the
// description. Announcements of a moving pointer are rationed: a reading every half second
// must not make a screen reader chatter.

#include <QtGlobal>

namespace vemo {

class TDCDial;

// Registers the dial's accessible interface with Qt; call once before the first dial is
// shown (repeated calls do nothing).
void InstallDialAccessibility();

class DialAnnouncer {
 public:
  // At most one announcement per this long while the pointer moves.
  static constexpr qint64 kQuietMs = 4000;

  explicit DialAnnouncer(TDCDial& dial) : dial_(dial) {}
  // The pointer has moved; tells assistive technology when it may.
  void Moved(qint64 nowMs);

 private:
  TDCDial& dial_;
  qint64 lastMs_ = 0;
  bool announced_ = false;
};

}  // namespace vemo
