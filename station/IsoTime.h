// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Times as the logs, exports and the command-line tool write them: ISO 8601 with
// milliseconds and the offset from UTC in force at that moment
// ("2026-12-08T10:00:03.256+01:00"), so that the hour repeated when clocks go back stays
// two different times; or in UTC with "Z" once the user chose UTC.

#include <QtGlobal>

#include <string>

namespace vemo {

std::string IsoTime(qint64 msSinceEpoch);

// The choice holds for the whole process (the program's setting, the tool's --utc).
void SetIsoTimesInUtc(bool utc);
bool IsoTimesInUtc();

}  // namespace vemo
