#include "app/cli/MonitorLine.h"

#include "app/cli/CliMessages.h"
#include "platform/PortNames.h"
#include "platform/ProfileFile.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace vemo::cli {

MonitorLine::MonitorLine() {
  port_.SetBaud(9600);
  port_.SetDataBits(8);
  port_.SetParity(pNone);
  port_.SetStopBits(1);
  port_.SetHWFlowOptions(0);
  port_.SetSWFlowOptions(swfNone);
  port_.SetPromptForPort(false);
  port_.SetOnTriggerAvail(
      [this](TCustomComPort& cp, uint16_t count) { ComObjTriggerAvail(cp, count); });
}

MonitorLine::~MonitorLine() {
  port_.SetOnTriggerAvail({});
  try {
    port_.SetOpen(false);
  } catch (...) {
    // Closing a port whose device has gone away may fail; the process ends anyway.
  }
}

void MonitorLine::Open(int portNumber, const std::string& devicePath) {
  const bool byNumber = devicePath.empty();
  devicePath_ = byNumber ? PortDevicePath(portNumber) : devicePath;
  deviceName_ = vemo::cli::DeviceName(portNumber, devicePath_, byNumber);
  if (!byNumber) {
    // The port component opens port numbers through the settings file's [Ports] map;
    // a private file maps port 1 to the device for this run only.
    mappingDir_ = std::make_unique<QTemporaryDir>();
    const std::string ini = mappingDir_->filePath("VemoSWR.ini").toStdString();
    ProfileFile(ini).WriteString("Ports", "COM1", devicePath);
    qputenv("VEMOSWR_INI", QByteArray::fromStdString(ini));
    portNumber = 1;
  }
  port_.SetComNumber(static_cast<uint16_t>(portNumber));
  port_.SetOpen(true);
}

void MonitorLine::Settle() {
  QEventLoop loop;
  QTimer::singleShot(1000, &loop, &QEventLoop::quit);
  loop.exec();
}

void MonitorLine::ComObjTriggerAvail(TCustomComPort& cp, uint16_t count) {
  try {
    while (count > 0) {
      const auto n = static_cast<uint16_t>(std::min<size_t>(count, staging_.size()));
      cp.ReadBlock(staging_.data(), n);
      for (uint16_t i = 0; i < n; ++i) buffer_.Put(staging_[i]);
      count = static_cast<uint16_t>(count - n);
    }
  } catch (const std::exception&) {
    // A full receive buffer loses the rest of this block; the exchange that waits for it
    // then fails with its own time-out rather than the event loop with an exception.
  }
}

}  // namespace vemo::cli
