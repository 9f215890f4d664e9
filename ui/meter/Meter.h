// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's forward-power meter: one TDCDial laid out as a 150-degree gauge with two
// tick sets, one label set and a black and a red band, switched between fourteen full-scale
// scales (30 W to 600 kW) by hand or by the reading itself (AutoRange). Dial positions are
// whole watts on every scale.

#include <QString>
#include <cstdint>

namespace vemo {

class TDCDial;

// One full-scale scale of the meter.
struct TMeterScale {
  const char* Text;  // the range list's entry
  int FullScale;     // watts, the dial's MaxValue
  int Major;         // tick set 0 interval
  int Minor;         // tick set 1 interval
  int Labels;        // label set 0 interval
  int RedStart;      // where the red band begins, five sixths of full scale
};

inline constexpr int kMeterScaleCount = 14;
// The range list's entry after the fourteen scales.
inline constexpr int kAutoRangeIndex = 14;
inline constexpr const char* kAutoRangeText = "AutoRange";

// Scale Index 0..13.
const TMeterScale& MeterScale(int Index);

// The index of the scale last applied by SetMeterRange. The caller sets it before the first
// SetMeterRange to any index other than the one it applies, so that call is not skipped.
extern std::uint8_t CurrentRange;

// Lays the dial out once and creates its scale elements. Call before the routines below.
void InitMeter(TDCDial& Dial);
// Applies scale Index (0..13); the pointer keeps its value, limited to the new full scale.
// The scale already applied is left alone; other indices only re-set the position.
void SetMeterRange(TDCDial& Dial, std::uint8_t Index);
// Picks the scale for a reading (stepping down only once the reading is below the lower
// scale's red band) and shows the reading, limited to 0..full scale.
void AutoRangeMeter(TDCDial& Dial, int Watts);

// The unit caption under the meter for a scale: "(W)" below index 6, else "(KW)".
QString MeterUnitCaption(int Range);
// The text of the dial label at Position (watts) on a scale: watts below index 6, else
// whole kilowatts.
QString MeterLabelText(int Range, int Position);

}  // namespace vemo
