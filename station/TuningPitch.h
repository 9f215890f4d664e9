// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tuning tone's rules, without any sound: the pitch for a VSWR (higher = better
// match), when a new best match earns a beep, and silence while the transmitter is
// unkeyed. Also the VSWR in Morse, ten times the ratio as talking meters send it.

#include <QString>

#include <optional>
#include <vector>

namespace vemo {

inline constexpr double kTunePerfectHz = 1600;  // VSWR 1.0
inline constexpr double kTuneWorstHz = 300;     // VSWR kTuneWorstVSWR and above
inline constexpr double kTuneWorstVSWR = 5;
inline constexpr double kTuneBeepHz = 2400;     // the beep at a new minimum
inline constexpr double kTuneKeyedWatts = 0.5;  // less forward power counts as unkeyed

// The tone for a VSWR: falls with log(VSWR) from kTunePerfectHz to kTuneWorstHz, so each
// halving of the mismatch moves the pitch by the same musical step. Not finite: worst.
double TuningPitchHz(double vswr);

// Follows readings while tuning; one per tuning session.
class TuningTracker {
 public:
  struct Tone {
    std::optional<double> Hz;  // none: silence (unkeyed)
    bool Beep = false;         // a new lowest VSWR since keying
  };
  // A lower VSWR than the best so far by at least this much is a new minimum; less is
  // reading noise, which must not beep at every reading.
  static constexpr double kMinimumStep = 0.02;

  Tone Reading(double forwardWatts, double vswr);

 private:
  std::optional<double> best_;
};

// "13" for VSWR 1.3 in dots and dashes with spaces between letters: "·---- ···--" as
// ".---- ...--". Above 9.9 sends "99"; not finite sends nothing.
QString VSWRInMorse(double vswr);

// Morse text to on/off durations in dot units: positive on, negative off (letters gap 3,
// elements gap 1).
std::vector<int> MorseTiming(const QString& morse);

}  // namespace vemo
