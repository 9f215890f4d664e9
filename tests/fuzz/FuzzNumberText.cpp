// SPDX-License-Identifier: GPL-3.0-or-later
// Text typed into the numeric edits. A text scanned as a number must give the value the
// C library reads from it, and integer text StrToInt takes must scan to the same value.

#include "platform/Exception.h"
#include "ui/controls/NumberText.h"

#include <cmath>
#include <cstdlib>

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  double real = 0;
  if (ScanReal(text, &real) == NumberText::Number) {
    if (!std::isfinite(real)) std::abort();
    const double expected = std::strtod(text.trimmed().toLatin1().constData(), nullptr);
    if (real != expected) std::abort();
  }

  int32_t scanned = 0;
  const NumberText kind = ScanInteger(text, &scanned);
  try {
    const int32_t value = StrToInt(text);
    if (kind == NumberText::Number && value != scanned) std::abort();
  } catch (const EConvertError&) {
  }
  return 0;
}
