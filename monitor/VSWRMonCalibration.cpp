// The monitor's own three-step calibration, one step at a time.
#include "monitor/VSWRMon.h"

#include "platform/Exception.h"

#include <cstdio>

namespace vemo {

namespace {

bool EndsStep(const std::string& reply) {
  return reply == "M\r\n>" || reply == "E\r\n>";
}

std::string StepMessage(uint8_t step, double fwdCalPower, double rflCalPower) {
  char power[64];
  switch (step) {
    case 0:
      return "Disconnect RF power now. (Ok when ready)\r";
    case 1:
      std::snprintf(power, sizeof power, "%9.2f", fwdCalPower);
      return std::string("Connect ") + power + " W in forward direction. (Ok when ready)\r";
    default:
      std::snprintf(power, sizeof power, "%9.3f", rflCalPower);
      return std::string("Connect ") + power + " W in reflected direction. (Ok when ready)\r";
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
