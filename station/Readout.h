// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the main window shows of one reading: the derived quantities, the unit chosen
// from the monitor's full scale, and every read-out text. The window only writes these
// into its labels and edit boxes; the command-line tool prints them.

#include <cstdint>
#include <string>

namespace vemo {

// The unit and number formats for a full scale (watts).
struct TDisplayUnit {
  const char* Unit;             // "W", "KW" or "MW"
  double Scale;                 // watts to the unit: 1, 0.001 or 0.000001
  const char* ForwardFormat;    // e.g. "%7.1f"
  const char* ReflectedFormat;  // one more decimal than the forward format
};

TDisplayUnit DisplayUnitFor(double fullScale);

struct TReadout {
  // Derived from the powers in watts.
  double Rho = 0;             // reflection coefficient 0..1
  double ReturnLoss = 0;      // dB, zero or negative
  double VSWR = 0;            // from the return loss: 1.02 at best, 99.99 at worst
  double Transmitted = 0;     // percent of the forward power that reaches the load
  double DBm = 0;             // forward power
  int32_t MeterPosition = 0;  // forward power in whole watts (halves to even), for the dial

  // Display unit and the powers in it.
  TDisplayUnit Unit{};
  double ForwardInUnit = 0;
  double ReflectedInUnit = 0;

  // Texts: labels and read-outs, right-aligned to their formats' widths.
  std::string ForwardLabel;    // "Forward Power (KW):"
  std::string ReflectedLabel;  // "Reflected Power (KW):"
  std::string ForwardText;
  std::string ReflectedText;
  std::string ReturnLossText;
  std::string VSWRText;
  std::string RhoText;
  std::string TransmittedText;
  std::string DBmText;
};

// The read-out of a reading of forward and reflected power (watts) on a monitor whose
// full scale is fullScale watts. Never raises: arithmetic failures give fallback values.
TReadout DeriveReadout(double forward, double reflected, double fullScale);

// The VSWR of DeriveReadout alone, without the texts.
double DeriveVSWR(double forward, double reflected);

// printf-style formatting of one number with "." as the decimal point.
std::string FormatNumber(const char* format, double value);

}  // namespace vemo
