// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which processes use a terminal device, as /proc tells. Best effort: without root the
// open files of other users' processes cannot be seen.

#include <sys/types.h>

#include <set>
#include <string>

namespace vemo {

// VEMOSWR_PROC_ROOT when set (tests), else /proc.
std::string DefaultProcRoot();
// VEMOSWR_SYS_ROOT when set (tests), else /sys.
std::string DefaultSysRoot();
// VEMOSWR_DEV_ROOT when set (tests), else /dev.
std::string DefaultDevRoot();

// The names of the devices the kernel writes its console to ("ttyAMA0"), from console= on
// its command line (procRoot/cmdline) and sysClassTty/console/active. A login or the
// kernel's messages may appear on them at any time: no place for a monitor.
std::set<std::string> ConsoleDevices(const std::string& procRoot, const std::string& sysClassTty);

// A process whose controlling terminal is the device node numbered rdev: the shell of a
// session on it, or a login (getty) waiting on it. 0 when there is none.
pid_t ControllingProcess(dev_t rdev, const std::string& procRoot = DefaultProcRoot());

// As above for the device at devicePath; 0 also when devicePath is no device node.
pid_t ControllingProcess(const std::string& devicePath,
                         const std::string& procRoot = DefaultProcRoot());

// A process that has the device at devicePath open (links followed); 0 when none is seen.
pid_t OpeningProcess(const std::string& devicePath,
                     const std::string& procRoot = DefaultProcRoot());

}  // namespace vemo
