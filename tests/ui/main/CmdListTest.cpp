// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/main/CmdList.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/Exception.h"

namespace vemo {
namespace {

std::vector<int> Drain(TCmdList& list) {
  std::vector<int> codes;
  while (list.Count() > 0) codes.push_back(list.Pop());
  return codes;
}

TEST(CmdList, QueuesInOrderAndDropsOnlyImmediateRepeats) {
  struct Case {
    std::vector<int> pushed;
    std::vector<int> queued;
  };
  const Case cases[] = {
      {{cmdResetAlarm, cmdResetAlarm, cmdResetAlarm}, {cmdResetAlarm}},
      {{cmdTrigger, cmdOptions, cmdTrigger}, {cmdTrigger, cmdOptions, cmdTrigger}},
      {{cmdCalZero, cmdCalZero, cmdCalForward, cmdCalForward, cmdCalZero},
       {cmdCalZero, cmdCalForward, cmdCalZero}},
      {{cmdCommPort}, {cmdCommPort}},
  };
  for (const Case& c : cases) {
    TCmdList list;
    for (int code : c.pushed) list.Push(static_cast<uint8_t>(code));
    EXPECT_EQ(Drain(list), c.queued);
  }
}

TEST(CmdList, FullQueueRefusesDistinctCodesAndRepeatsAlike) {
  TCmdList list;
  for (int i = 0; i < TCmdList::Capacity; ++i) list.Push(static_cast<uint8_t>(i % 2));
  ASSERT_EQ(list.Count(), 50);
  for (uint8_t code : {uint8_t{cmdOptions}, uint8_t{1}}) {  // 1 repeats the last code
    try {
      list.Push(code);
      FAIL() << "no error for code " << int(code);
    } catch (const Exception& e) {
      EXPECT_EQ(e.message(), "Command buffer is full.");
    }
  }
  EXPECT_EQ(list.Count(), 50);
  EXPECT_EQ(list.Pop(), 0);
  list.Push(cmdOptions);  // room again after one pop
  const std::vector<int> rest = Drain(list);
  ASSERT_EQ(rest.size(), 50u);
  EXPECT_EQ(rest.front(), 1);
  EXPECT_EQ(rest.back(), cmdOptions);
}

}  // namespace
}  // namespace vemo
