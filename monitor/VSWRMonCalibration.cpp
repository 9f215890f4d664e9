// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's own three-step calibration, one step at a time.
#include "monitor/VSWRMon.h"

#include "platform/Exception.h"

#include <charconv>
#include <string>

namespace vemo {

namespace {

bool EndsStep(const std::string& reply) {
  return reply == "M\r\n>" || reply == "E\r\n>";
}

// printf's "%<width>.<decimals>f", but always with a point: printf follows the C library's
// locale, which a caller may have left at the user's.
std::string Fixed(double value, int decimals, size_t width) {
  char text[400];  // room for any double in fixed notation
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  std::string s(text, end);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

std::string StepMessage(uint8_t step, double fwdCalPower, double rflCalPower) {
  switch (step) {
    case 0:
      return "Disconnect RF power now. (Ok when ready)\r";
    case 1:
      return "Connect " + Fixed(fwdCalPower, 2, 9) + " W in forward direction. (Ok when ready)\r";
    default:
      return "Connect " + Fixed(rflCalPower, 3, 9) + " W in reflected direction. (Ok when ready)\r";
  }
}

}  // namespace

void TVSWR_Monitor::DoCalibration(uint8_t step, IOperatorPrompt& prompt) {
  if (step > 2) throw Exception("Invalid calibration step " + std::to_string(step));
  std::string reply;
  portFailed_ = false;
  try {
    RunCalibrationDialogue(step, prompt, reply);
  } catch (...) {
    if (portFailed_) throw Exception("An IO exception occurred.");
    throw Exception("Unexpected result" + reply + " in DoCalibration.");
  }
}

void TVSWR_Monitor::RunCalibrationDialogue(uint8_t step, IOperatorPrompt& prompt,
                                           std::string& reply) {
  static constexpr const char* kPrompts[] = {"PZ?>", "PF?>", "PR?>"};
  Command7();  // the powers the operator applies follow the current full scale
  const std::string message = StepMessage(step, FwdCalPower_, RflCalPower_);

  // Nothing in the step empties the receive buffer: the monitor answers at once.
  Send(static_cast<char>('0' + step));
  ReadInto(reply, 4, 2);
  if (reply != kPrompts[step]) return;  // not in calibration: leave the monitor alone

  std::string text = message;
  for (;;) {
    reply.clear();
    if (prompt.AskOkCancel(text)) {
      Send('Y');
      ReadInto(reply, 4, 2);
      if (reply == "E \r\n") ReadInto(reply, 8, 2);
    } else {
      Send('Q');
      ReadInto(reply, 4, 2);
    }
    if (EndsStep(reply)) return;
    text = "The SWR monitor returned an error while attempting\rthe calibration.\r" + message;
  }
}

}  // namespace vemo
