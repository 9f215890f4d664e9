// SPDX-License-Identifier: GPL-3.0-or-later
#include "serial/NativeDispatcher.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <iterator>

#include "platform/PortUsers.h"
#include "serial/SerialErrors.h"

namespace vemo {

namespace {

struct BaudCode {
  int baud;
  speed_t code;
};

constexpr BaudCode kBauds[] = {
    {50, B50},           {75, B75},           {110, B110},         {134, B134},
    {150, B150},         {200, B200},         {300, B300},         {600, B600},
    {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
    {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
    {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
    {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
    {3500000, B3500000}, {4000000, B4000000},
};

bool SpeedCode(int baud, speed_t& code) {
  for (const BaudCode& b : kBauds) {
    if (b.baud == baud) {
      code = b.code;
      return true;
    }
  }
  return false;
}

// ptys and some adapters have no modem lines or counters: these errors mean "not here".
bool NotSupported(int err) {
  return err == ENOTTY || err == EINVAL;
}

// A node with no hardware behind it (a UART the board does not have, a pty not yet
// unlocked) opens, or fails to, with EIO: to the user that is a port that does not exist.
int OpenErrnoToResult(int err) {
  return err == EIO ? ecFileNotFound : ErrnoToResult(err);
}

// How to get access to the device at path: join the group that owns it, or, when that is
// root, which no user should join, give the device to dialout with a udev rule.
std::string AccessAdvice(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return {};
  struct group entry;
  struct group* found = nullptr;
  char buffer[4096];
  const std::string group =
      ::getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr
          ? found->gr_name
          : std::to_string(st.st_gid);
  if (st.st_gid == 0)
    return "The device belongs to group 'root', which is not for users: let a udev rule give "
           "it to group dialout, e.g. the line SUBSYSTEM==\"tty\", KERNEL==\"" +
           std::filesystem::path(path).filename().string() +
           "\", GROUP=\"dialout\", MODE=\"0660\" in /etc/udev/rules.d/60-serial-dialout.rules, "
           "then run sudo udevadm trigger, add your user to dialout (sudo usermod -aG dialout "
           "$USER) and log out and back in";
  return "The device belongs to group '" + group + "': add your user to it (sudo usermod -aG " +
         group + " $USER), then log out and back in";
}

void DrainEventFd(int fd) {
  uint64_t value;
  while (::read(fd, &value, sizeof value) > 0) {
  }
}

void SignalEventFd(int fd) {
  uint64_t one = 1;
  ssize_t rc;
  do {
    rc = ::write(fd, &one, sizeof one);
  } while (rc < 0 && errno == EINTR);
}

}  // namespace

TTermiosDispatcher::TTermiosDispatcher(TCustomComPort* owner) : TBaseDispatcher(owner) {}

TTermiosDispatcher::~TTermiosDispatcher() {
  Shutdown();
}

int TTermiosDispatcher::ClaimDevice(const std::string& path, bool probeOnly) {
  // A serial console or a login waiting on the line: our commands would go to a shell.
  pid_t holder = ControllingProcess(path);
  if (holder == 0)
    holder = probeOnly ? LockHolder(DefaultLockDirectory(), path) : portLock_.Acquire(path);
  if (holder == 0) return 0;
  SetOpenFailureDetail("held by process " + std::to_string(holder));
  return ecAccessDenied;
}

int TTermiosDispatcher::OpenDevice(const std::string& path, bool probeOnly) {
  if (fd_ >= 0) return ecAlreadyOpen;
  SetOpenFailureDetail({});
  if (int rc = ClaimDevice(path, probeOnly); rc != 0) return rc;
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    portLock_.Release();
    if (error == EACCES || error == EPERM) SetOpenFailureDetail(AccessAdvice(path));
    return OpenErrnoToResult(error);
  }
  auto fail = [this, fd](int result) {
    ::close(fd);
    portLock_.Release();
    return result;
  };
  termios t;
  if (::tcgetattr(fd, &t) != 0) return fail(OpenErrnoToResult(errno));  // not a terminal
  // A serial driver without its hardware refuses the modem-line query with EIO.
  if (int lines; ::ioctl(fd, TIOCMGET, &lines) != 0 && errno == EIO) return fail(ecFileNotFound);
  // Root gets past another holder's TIOCEXCL; such a port is in use all the same, and
  // our TIOCNXCL at closing would take the other program's protection away.
  int excl = 0;
  if (::ioctl(fd, TIOCGEXCL, &excl) == 0 && excl) return fail(ecAccessDenied);
  // The advisory lock is what keeps two programs apart when TIOCEXCL does not (root).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    return fail(errno == EWOULDBLOCK ? ecAccessDenied : ErrnoToResult(errno));
  fd_ = fd;
  locked_ = true;
  exclusive_ = false;
  gone_ = false;
  countsValid_ = false;
  if (probeOnly) return 0;
  // Put back at closing: the next user of the port (a getty, a terminal program) finds
  // the line as it was, and HUPCL drops DTR and RTS when the device is let go.
  saved_ = t;
  exclusive_ = ::ioctl(fd, TIOCEXCL) == 0;
  for (int* w : {&eventWake_, &dispatchWake_, &outputWake_})
    *w = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (eventWake_ < 0 || dispatchWake_ < 0 || outputWake_ < 0) {
    // Out of file handles, most likely: say so, not "out of memory".
    const int err = errno;
    CloseDevice();
    return ErrnoToResult(err);
  }
  return 0;
}

void TTermiosDispatcher::CloseDevice() {
  if (fd_ < 0) return;
  if (saved_ && !gone_) ::tcsetattr(fd_, TCSANOW, &*saved_);
  saved_.reset();
  if (exclusive_) ::ioctl(fd_, TIOCNXCL);  // fails harmlessly (EIO) after a hang-up
  if (locked_) ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  portLock_.Release();
  exclusive_ = locked_ = false;
  for (int* w : {&eventWake_, &dispatchWake_, &outputWake_}) {
    if (*w >= 0) ::close(*w);
    *w = -1;
  }
}

int TTermiosDispatcher::ApplyLine(const TLineSettings& line, const TFlowSettings& flow) {
  speed_t speed;
  if (!SpeedCode(line.baud, speed)) return ecBaudRate;
  if (line.dataBits < 5 || line.dataBits > 8) return ecByteSize;
  if (line.parity > 4) return ecDefault;
  termios t;
  if (::tcgetattr(fd_, &t) != 0) return ErrnoToResult(errno);
  // Raw bytes both ways: no CR/LF translation, no echo, no signals, no output processing.
  ::cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(HUPCL | CSIZE | CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
  static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= kSizes[line.dataBits - 5];
  switch (line.parity) {
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  // Two stop bits; with five data bits the UART makes 1.5 of it.
  if (line.stopBits >= 2) t.c_cflag |= CSTOPB;
  // The line has RTS/CTS handshake only as a pair.
  if (flow.hwOptions & (hfUseRTS | hfRequireCTS)) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (flow.swOptions & 2) t.c_iflag |= IXON;   // obey XOFF from the other side
  if (flow.swOptions & 1) t.c_iflag |= IXOFF;  // send XOFF when our queue fills
  t.c_cc[VSTART] = static_cast<cc_t>(flow.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(flow.xoffChar);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) return ErrnoToResult(errno);
  return 0;
}

int TTermiosDispatcher::ReadDevice(uint8_t* out, size_t n) {
  if (gone_) return kDeviceGone;
  for (;;) {
    ssize_t got = ::read(fd_, out, n);
    if (got > 0) return int(got);
    // With VMIN=1 and O_NONBLOCK an empty queue gives EAGAIN; 0 means the tty was hung up.
    if (got == 0 || errno == EIO) {
      gone_ = true;
      return kDeviceGone;
    }
    if (errno == EINTR) continue;
    return 0;
  }
}

int TTermiosDispatcher::WriteDevice(const uint8_t* data, size_t n) {
  if (gone_) return kDeviceGone;
  for (;;) {
    ssize_t put = ::write(fd_, data, n);
    if (put >= 0) return int(put);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    if (errno == EIO) {
      gone_ = true;
      return kDeviceGone;
    }
    return ErrnoToResult(errno);
  }
}

bool TTermiosDispatcher::ConfirmHangup() {
  termios t;
  if (::tcgetattr(fd_, &t) != 0 && errno == EIO) gone_ = true;
  return gone_;
}

void TTermiosDispatcher::BackOff(int wakeFd) {
  pollfd p{wakeFd, POLLIN, 0};
  ::poll(&p, 1, 50);
}

short TTermiosDispatcher::PollWith(int wakeFd, short events, int timeoutMs) {
  pollfd p[2] = {{wakeFd, POLLIN, 0}, {fd_, events, 0}};
  // After a hang-up the descriptor reports POLLHUP for ever: stop watching it.
  nfds_t count = gone_ ? 1 : 2;
  if (::poll(p, count, timeoutMs) <= 0) return 0;
  if (p[0].revents) DrainEventFd(wakeFd);
  return count == 2 ? p[1].revents : 0;
}

uint32_t TTermiosDispatcher::WaitDeviceInput(bool watchInput, int timeoutMs) {
  short revents = PollWith(dispatchWake_, watchInput ? POLLIN : 0, timeoutMs);
  uint32_t ev = 0;
  if (revents & POLLIN) ev |= kEvRxChar;
  if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
    if (ConfirmHangup())
      ev |= kEvHangup;
    else if (!ev)
      BackOff(dispatchWake_);
  }
  return ev;
}

void TTermiosDispatcher::WakeDispatchThread() {
  SignalEventFd(dispatchWake_);
}

uint32_t TTermiosDispatcher::WaitDeviceStatus(int timeoutMs) {
  short revents = PollWith(eventWake_, 0, timeoutMs);
  if (!(revents & (POLLHUP | POLLERR | POLLNVAL))) return 0;
  if (ConfirmHangup()) return kEvHangup;
  BackOff(eventWake_);
  return 0;
}

void TTermiosDispatcher::WakeEventThread() {
  SignalEventFd(eventWake_);
}

int TTermiosDispatcher::WaitWritable() {
  if (gone_) return kDeviceGone;
  pollfd p[2] = {{outputWake_, POLLIN, 0}, {fd_, POLLOUT, 0}};
  if (::poll(p, 2, -1) < 0) return 0;
  if (p[0].revents) {
    DrainEventFd(outputWake_);
    return 0;
  }
  if (p[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
    if (ConfirmHangup()) return kDeviceGone;
    if (!(p[1].revents & POLLOUT)) {
      BackOff(outputWake_);
      return 0;
    }
  }
  return 1;
}

void TTermiosDispatcher::WakeOutputThread() {
  SignalEventFd(outputWake_);
}

size_t TTermiosDispatcher::DriverOutQueue() {
  int queued = 0;
  if (gone_ || ::ioctl(fd_, TIOCOUTQ, &queued) != 0) return 0;
  return size_t(queued > 0 ? queued : 0);
}

void TTermiosDispatcher::PurgeDevice(bool input, bool output) {
  if (gone_) return;
  ::tcflush(fd_, input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH);
}

int TTermiosDispatcher::SetModemLines(bool dtr, bool rts) {
  if (gone_) return ecNotOpen;
  int set = (dtr ? TIOCM_DTR : 0) | (rts ? TIOCM_RTS : 0);
  int clear = (dtr ? 0 : TIOCM_DTR) | (rts ? 0 : TIOCM_RTS);
  for (auto [request, bits] : {std::pair{TIOCMBIS, set}, std::pair{TIOCMBIC, clear}}) {
    if (bits == 0) continue;
    if (::ioctl(fd_, request, &bits) != 0) {
      if (NotSupported(errno)) return 0;
      return ErrnoToResult(errno);
    }
  }
  return 0;
}

int TTermiosDispatcher::ReadModemLines() {
  int bits = 0;
  if (gone_ || ::ioctl(fd_, TIOCMGET, &bits) != 0) return -1;
  return (bits & TIOCM_CTS ? kMsrCTS : 0) | (bits & TIOCM_DSR ? kMsrDSR : 0) |
         (bits & TIOCM_RNG ? kMsrRI : 0) | (bits & TIOCM_CD ? kMsrDCD : 0);
}

uint8_t TTermiosDispatcher::ReadLineErrors() {
  serial_icounter_struct c{};
  std::lock_guard lock(countsLock_);
  if (gone_ || ::ioctl(fd_, TIOCGICOUNT, &c) != 0) return 0;
  int overrun = c.overrun + c.buf_overrun;
  uint8_t errors = 0;
  if (countsValid_) {
    if (overrun != lastOverrun_) errors |= kLineOverrun;
    if (c.parity != lastParity_) errors |= kLineParity;
    if (c.frame != lastFrame_) errors |= kLineFraming;
    if (c.brk != lastBreak_) errors |= kLineBreak;
  }
  countsValid_ = true;
  lastOverrun_ = overrun;
  lastParity_ = c.parity;
  lastFrame_ = c.frame;
  lastBreak_ = c.brk;
  return errors;
}

int TTermiosDispatcher::ApplyRS485(bool on) {
  serial_rs485 rs{};
  if (on) rs.flags = SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
  if (::ioctl(fd_, TIOCSRS485, &rs) == 0) return 0;
  // Switching it off on a device that never had it is no failure.
  return !on && NotSupported(errno) ? 0 : ecNotSupported;
}

}  // namespace vemo
