// SPDX-License-Identifier: GPL-3.0-or-later
// Number patterns as the read-outs and numeric edits use them, with values from the input.
// Input: 8 bytes of a double, then the pattern (UTF-8).

#include "ui/controls/FormatFloat.h"

#include <cstring>

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < sizeof(double)) return 0;
  double value;
  std::memcpy(&value, data, sizeof value);
  const QString pattern = QString::fromUtf8(reinterpret_cast<const char*>(data + sizeof value),
                                            static_cast<qsizetype>(size - sizeof value));
  FormatFloat(pattern, value);
  FloatToStr(value);
  return 0;
}
