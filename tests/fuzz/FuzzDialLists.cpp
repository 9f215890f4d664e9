// SPDX-License-Identifier: GPL-3.0-or-later
// The dial's stored element lists. Input: selector byte (label sets, ranges or tick sets),
// then the stream. A stream that reads must write back to bytes that read again to the
// same list.

#include "ui/meter/DCLists.h"

#include <cstdlib>
#include <memory>

using namespace vemo;

namespace {

std::unique_ptr<TDCList> NewList(uint8_t selector) {
  switch (selector % 3) {
    case 0:
      return std::make_unique<TDCLabelSetList>();
    case 1:
      return std::make_unique<TDCRangeList>();
    default:
      return std::make_unique<TDCTickSetList>();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const auto list = NewList(data[0]);
  TDCReader reader(
      QByteArray(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)));
  try {
    list->ReadData(reader);
  } catch (const Exception&) {
    return 0;  // refused with the reader's message
  }

  TDCWriter first;
  list->WriteData(first);
  const auto copy = NewList(data[0]);
  TDCReader again(first.Data());
  copy->ReadData(again);  // what we wrote must read: an exception here is a finding
  TDCWriter second;
  copy->WriteData(second);
  if (second.Data() != first.Data() || !again.AtEnd()) std::abort();
  return 0;
}
