// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A report saved where the user chose: as the HTML document, or as PDF (by the name's
// ending), laid out by Qt's rich-text document with the trend picture in it.

#include "store/Report.h"

#include <QString>

namespace vemo {

// False with a message for the user when the file cannot be written.
bool SaveReport(const TReport& report, const QString& path, QString& error);

}  // namespace vemo
