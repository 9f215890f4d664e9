// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which readings are measurements. A reading no monitor can give (a negative power, more
// reflected than forward power, far more than the monitor's own full scale, or a number
// not written as the monitor writes it) is kept and flagged in the logs and the tool's
// output, but shown greyed, left out of the history, statistics, peak and alarms, and not
// published by the service. The window, the tool and the service all judge with this.

#include "monitor/VSWRMon.h"

namespace vemo {

enum class Implausibility { None, NegativePower, ReflectedAboveForward, AboveFullScale, FieldForm };

// A power more than this share above the full scale the monitor reports is no
// measurement: the converters saturate not far above it.
inline constexpr double kFullScaleMargin = 0.10;

// The powers (watts) of a reading on a monitor of fullScale watts; a full scale of zero
// or less is not known and not judged.
Implausibility JudgePowers(double forward, double reflected, double fullScale);
// A reading as the session returns it. In raw mode only the fields' form is judged: the
// numbers are converter counts, not powers.
Implausibility JudgeReading(const TMonitorReading& reading);

// What is wrong, for messages: "more reflected than forward power".
const char* ImplausibilityText(Implausibility why);

}  // namespace vemo
