#pragma once
// Which processes use a terminal device, as /proc tells. Best effort: without root the
// open files of other users' processes cannot be seen.

#include <sys/types.h>

#include <string>

namespace vemo {

// VEMOSWR_PROC_ROOT when set (tests), else /proc.
std::string DefaultProcRoot();

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
