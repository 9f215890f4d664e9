// SPDX-License-Identifier: GPL-3.0-or-later
// Number fields of the monitor's replies, and the same text with "$" as the session reads
// hexadecimal fields. A refused text raises EConvertError; nothing else may escape.

#include "monitor/NumConvert.h"
#include "platform/Exception.h"

#include <cmath>
#include <cstdlib>
#include <string>

using namespace vemo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    StrToInt(text);
  } catch (const EConvertError&) {
  }
  try {
    StrToInt("$" + text);
  } catch (const EConvertError&) {
  }
  try {
    if (!std::isfinite(StrToFloat(text))) std::abort();  // out of range must be refused
  } catch (const EConvertError&) {
  }
  return 0;
}
