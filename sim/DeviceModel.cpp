// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/DeviceModel.h"

namespace vemo::sim {

namespace {

enum class Family { Mon01, Mon02, Mon03, Mon04, VPMon002, Other };

Family FamilyOf(const std::string& id) {
  if (id == "KRFMON01") return Family::Mon01;
  if (id == "KRFMON02") return Family::Mon02;
  if (id == "KRFMON03") return Family::Mon03;
  if (id == "KRFMON04") return Family::Mon04;
  if (id == "VPMon002") return Family::VPMon002;
  return Family::Other;
}

}  // namespace

DeviceModel::DeviceModel(std::string id, FirmwareDate firmware)
    : id_(std::move(id)), firmware_(firmware) {}

bool DeviceModel::HasShortFullScaleReply() const {
  const Family f = FamilyOf(id_);
  return f == Family::Mon01 || f == Family::Mon02;
}

bool DeviceModel::Understands(char command) const {
  const Family f = FamilyOf(id_);
  const bool mon0304 = f == Family::Mon03 || f == Family::Mon04;
  const bool vp = f == Family::VPMon002;
  const FirmwareDate& fw = firmware_;
  switch (command) {
    // Identification, readings, full scale, EEPROM, alarm reset, VSWR level, check on zero
    // power, DAC gains and the calibration dialogue: every model.
    case 'I':
    case 'T':
    case 'Z':
    case '7':
    case 'X':
    case 'Y':
    case 'A':
    case '8':
    case '9':
    case 'Q':
    case 'P':
    case 'K':
    case 'J':
    case '0':
    case '1':
    case '2':
      return true;
    // Status word, relay sense and VSWR alarm enable.
    case 'B':
    case '5':
    case '6':
      return mon0304 || (vp && fw > FirmwareDate{2000, 7, 24});
    case 'W':
      return f == Family::Mon04;
    case 'O':
      return mon0304 || (vp && fw >= FirmwareDate{2003, 10, 20});
    // Alarm at power-up: from the 2003-11-20 firmware on, except the 2004-03-29 release.
    case 'U':
      return (mon0304 || vp) && fw >= FirmwareDate{2003, 11, 20} && fw != FirmwareDate{2004, 3, 29};
    case 'L':
    case 'M':
    case 'N':
      return mon0304 || vp;
    case 'D':
    case 'E':
    case 'G':
      return f == Family::Mon02 || mon0304 || (vp && fw >= FirmwareDate{2002, 5, 14});
    // Push-to-talk arrived with the 2010-01-08 firmware on every model.
    case '&':
    case '#':
    case '%':
      return fw >= FirmwareDate{2010, 1, 8};
    default:
      return false;
  }
}

}  // namespace vemo::sim
