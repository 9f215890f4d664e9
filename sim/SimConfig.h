// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the simulated monitor is and how it misbehaves: everything vemoswr-sim's command
// line can set.

#include <cstdint>
#include <string>

namespace vemo::sim {

struct FirmwareDate {
  int year = 2010, month = 6, day = 1;
  auto operator<=>(const FirmwareDate&) const = default;
};

struct SimConfig {
  std::string model = "KRFMON03";  // eight characters in the identification
  FirmwareDate firmware;
  double fullScale = 125.0;  // watts, as the full-scale reply reports it
  double forward = 50.0;     // watts applied in the forward direction
  double reflected = 1.0;    // watts coming back
  double noise = 0.005;      // relative standard deviation of each measured power
  // The converters' response: counts above zero at the calibration power of the full scale
  // above (16 % of it forward, 1.6 % reflected), and counts at no power. The calibration
  // words in the EEPROM start out matching them, as calibrated at the factory.
  uint16_t forwardCounts = 5243;
  uint16_t reflectedCounts = 5243;
  int16_t forwardZero = 0;
  int16_t reflectedZero = 0;
  uint32_t seed = 1;
  // Settings at power-up: the stored status bits (VSWR alarm on, no latch, no alarm at
  // power-up) and the VSWR alarm level code (7: VSWR 2.0).
  uint16_t status = 0x00C8;
  int vswrLevel = 7;

  // The antenna: with a resonance, reflected power follows the frequency (from the
  // "frequency" control line, or from the rigctld at rig, which also keys the power).
  double resonanceHz = 0;
  double bandwidthHz = 300000;  // between the VSWR 2.0 points
  std::string rig;              // HOST:PORT of a rigctld; empty: none

  // Faults in what the monitor says.
  std::string strayPrefix;           // sent before every "P=", "H=", "L=", "G=", "D=" reply
  bool strayPrompt = false;          // a leftover ">" before every reading
  bool badEepromEcho = false;        // EEPROM writes fail and echo something else
  bool garbageNumbers = false;       // number fields hold no numbers
  bool noPromptCalibration = false;  // calibration steps are answered without their prompt
  bool calibrationError = false;     // confirming a calibration step always fails

  // Faults in when (and whether) it says it.
  bool silent = false;
  long stopAfter = -1;    // commands answered before falling silent; -1: no limit
  long hangupAfter = -1;  // commands after which the line is dropped; -1: never
  int delayMs = 0;        // before every reply
  // Noise on the line: each reply's chance (0..1) of a burst of 1 to 64 random bytes
  // before it, of being cut short, and of 1 to 32 random bytes after it; and a random
  // extra delay of 0 to jitterMs before it.
  double burstChance = 0;
  double truncateChance = 0;
  double overlongChance = 0;
  int jitterMs = 0;
  bool pace = false;  // 9600 baud 8N1: one byte every 1.0417 ms
};

}  // namespace vemo::sim
