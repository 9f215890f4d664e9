// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// vemoswr-cli ports: the serial ports of this machine, without opening any.

#include <cstdio>

namespace vemo::cli {

// One line a port: "COM3  /dev/ttyUSB0  free  usb-FTDI_..., 0403:6001 FTDI FT232R USB UART,
// serial A1B2"; "-" where no COM number names it. Returns the exit status.
int ListPorts(std::FILE* out);

}  // namespace vemo::cli
