// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace vemo::sim {

namespace {

using namespace std::chrono_literals;

// 9600 baud, 8 data bits, no parity, 1 stop bit: ten bit times per byte.
constexpr std::chrono::nanoseconds kByteTime{1'041'667};

std::runtime_error SystemError(const std::string& what) {
  return std::runtime_error(what + ": " + std::strerror(errno));
}

const char* NoteFor(SimMonitor::Exchange::Outcome outcome) {
  switch (outcome) {
    case SimMonitor::Exchange::Unsupported:
      return "unsupported";
    case SimMonitor::Exchange::BadArgument:
      return "bad argument";
    case SimMonitor::Exchange::Unknown:
      return "unknown";
    case SimMonitor::Exchange::Incomplete:
      return "incomplete";
    case SimMonitor::Exchange::Answered:
      break;
  }
  return "";
}

}  // namespace

SimServer::SimServer(const SimConfig& config, const std::string& linkPath,
                     const std::string& transcriptPath)
    : config_(config),
      monitor_(config),
      linkPath_(linkPath),
      replugPath_(linkPath),
      noise_(config.seed) {
  if (!transcriptPath.empty()) transcript_ = std::make_unique<Transcript>(transcriptPath);
  if (!config_.rig.empty()) rig_ = std::make_unique<RigFollower>(config_.rig);
  OpenPty();
  if (!linkPath_.empty()) CreateLink();
}

void SimServer::ApplyAntenna() {
  if (config_.resonanceHz <= 0) return;
  double forward = config_.forward;
  if (rig_) {
    frequencyHz_ = rig_->FrequencyHz();
    if (!rig_->Keyed()) forward = 0;
  }
  monitor_.SetForward(forward);
  if (frequencyHz_ > 0)
    monitor_.SetReflected(forward *
                          ReflectedShare(frequencyHz_, config_.resonanceHz, config_.bandwidthHz));
}

SimServer::~SimServer() {
  RemoveLink();
  if (inotify_ >= 0) ::close(inotify_);
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

void SimServer::OpenPty() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) throw SystemError("posix_openpt");
  if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw SystemError("grantpt/unlockpt");
  char name[PATH_MAX];
  if (::ptsname_r(master_, name, sizeof name) != 0) throw SystemError("ptsname");
  devicePath_ = name;

  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) throw SystemError("open " + devicePath_);
  termios tio{};
  if (::tcgetattr(slave_, &tio) != 0) throw SystemError("tcgetattr");
  ::cfmakeraw(&tio);
  ::cfsetispeed(&tio, B9600);
  ::cfsetospeed(&tio, B9600);
  tio.c_cflag |= CLOCAL | CREAD;
  if (::tcsetattr(slave_, TCSANOW, &tio) != 0) throw SystemError("tcsetattr");

  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);

  inotify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ >= 0 &&
      ::inotify_add_watch(inotify_, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    ::close(inotify_);  // without it, stale output simply stays queued for the next client
    inotify_ = -1;
  }
}

void SimServer::CreateLink() {
  struct stat st {};
  if (::lstat(linkPath_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
    throw std::runtime_error(linkPath_ + " exists and is no symbolic link; not replacing it");
  // Link beside it, then rename over: a reader never sees the link missing or half made.
  const std::string temp = linkPath_ + ".tmp-" + std::to_string(::getpid());
  ::unlink(temp.c_str());
  if (::symlink(devicePath_.c_str(), temp.c_str()) != 0) throw SystemError("symlink " + temp);
  if (::rename(temp.c_str(), linkPath_.c_str()) != 0) {
    ::unlink(temp.c_str());
    throw SystemError("rename to " + linkPath_);
  }
}

void SimServer::RemoveLink() {
  if (linkPath_.empty()) return;
  // Only our own link: a newer simulator may have taken the name over.
  char target[PATH_MAX];
  ssize_t n = ::readlink(linkPath_.c_str(), target, sizeof target - 1);
  if (n > 0 && std::string(target, static_cast<size_t>(n)) == devicePath_)
    ::unlink(linkPath_.c_str());
  linkPath_.clear();
}

int64_t SimServer::Millis() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               start_)
      .count();
}

void SimServer::Run(int signalFd) {
  for (;;) {
    std::vector<pollfd> fds;
    fds.push_back({signalFd, POLLIN, 0});
    if (stdinOpen_) fds.push_back({STDIN_FILENO, POLLIN, 0});
    if (inotify_ >= 0) fds.push_back({inotify_, POLLIN, 0});
    if (master_ >= 0)
      fds.push_back({master_, static_cast<short>(POLLIN | (blockedOnWrite_ ? POLLOUT : 0)), 0});

    // Sleep until the next reply byte is due, if one is waiting for its time.
    timespec timeout{};
    timespec* timeoutPtr = nullptr;
    if (!outgoing_.empty() && !blockedOnWrite_) {
      SimTime due = outgoing_.front().due;
      if (config_.pace) due = std::max(due, nextByte_);
      const auto ns = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(
                                               due - std::chrono::steady_clock::now())
                                               .count());
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      timeoutPtr = &timeout;
    }
    if (::ppoll(fds.data(), fds.size(), timeoutPtr, nullptr) < 0) {
      if (errno == EINTR) continue;
      throw SystemError("ppoll");
    }
    for (const pollfd& p : fds) {
      if (p.revents == 0) continue;
      if (p.fd == signalFd) {
        signalfd_siginfo info;
        (void)!::read(signalFd, &info, sizeof info);
        if (transcript_) transcript_->Event(Millis(), "stop");
        return;
      }
      if (p.fd == STDIN_FILENO) ReadControl();
    }
    // Bytes the client sent before it closed the line are taken first, so that the close
    // then drops their replies as well.
    bool freshData = false;
    for (const pollfd& p : fds)
      if (p.fd == master_ && master_ >= 0 && (p.revents & (POLLIN | POLLOUT | POLLERR))) {
        if (p.revents & POLLOUT) blockedOnWrite_ = false;
        if (p.revents & POLLIN) freshData = OnMasterReadable();
      }
    for (const pollfd& p : fds)
      if (p.fd == inotify_ && inotify_ >= 0 && p.revents != 0) OnClientOpenedOrClosed(freshData);
    for (Outgoing& out : outgoing_) out.fresh = false;
    WritePending();
  }
}

bool SimServer::OnMasterReadable() {
  char buffer[512];
  ssize_t n = ::read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EAGAIN, or EIO while the client side is between opens
  const SimTime now = std::chrono::steady_clock::now();
  const int64_t ms = Millis();
  ApplyAntenna();
  for (SimMonitor::Exchange& exchange : monitor_.Receive({buffer, static_cast<size_t>(n)}, now)) {
    const bool isCommand = exchange.outcome != SimMonitor::Exchange::Unknown &&
                           exchange.outcome != SimMonitor::Exchange::Incomplete;
    if (!isCommand) {
      if (transcript_) transcript_->Received(ms, exchange.command, NoteFor(exchange.outcome));
      continue;
    }
    ++commands_;
    const bool answering =
        !config_.silent && (config_.stopAfter < 0 || commands_ <= config_.stopAfter);
    std::string note = NoteFor(exchange.outcome);
    if (!answering && !exchange.reply.empty()) note = "unanswered";
    if (transcript_) transcript_->Received(ms, exchange.command, note);

    Outgoing out;
    out.command = exchange.command;
    if (answering) out.bytes = WithLineNoise(std::move(exchange.reply));
    int delayMs = config_.delayMs;
    if (config_.jitterMs > 0)
      delayMs += std::uniform_int_distribution<int>(0, config_.jitterMs)(noise_);
    out.due = now + std::chrono::milliseconds(delayMs);
    out.hangUpAfter = config_.hangupAfter >= 0 && commands_ == config_.hangupAfter;
    out.fresh = true;
    if (!out.bytes.empty() || out.hangUpAfter) outgoing_.push_back(std::move(out));
  }
  return true;
}

void SimServer::OnClientOpenedOrClosed(bool freshData) {
  alignas(inotify_event) char events[4096];
  bool closed = false, openAfterClose = false;
  ssize_t n;
  while ((n = ::read(inotify_, events, sizeof events)) > 0) {
    for (char* p = events; p < events + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
        closed = true;
        openAfterClose = false;
      } else if ((event->mask & IN_OPEN) && closed) {
        openAfterClose = true;
      }
      p += sizeof(inotify_event) + event->len;
    }
  }
  if (!closed || master_ < 0) return;

  // A real line does not keep what was sent while nobody listened: replies still due
  // and bytes the client has not read go. When the client is back already, the bytes
  // read just now are probably its first command and keep their replies.
  const bool keepFresh = openAfterClose && freshData;
  bool hangUpPending = false;
  std::deque<Outgoing> kept;
  for (Outgoing& out : outgoing_) {
    if (keepFresh && out.fresh)
      kept.push_back(std::move(out));
    else
      hangUpPending = hangUpPending || out.hangUpAfter;
  }
  outgoing_ = std::move(kept);
  ::tcflush(slave_, TCIFLUSH);
  // The kernel hands a client's bytes to our side a little later than its close is seen;
  // on a busy machine its last command may still be on the way. Nobody is there to answer.
  if (!openAfterClose) ::tcflush(master_, TCIFLUSH);
  // Our own descriptor keeps the terminal open, so the kernel never resets it between
  // clients: an exclusive claim left by a client that died without releasing it would lock
  // every later client out. A client already back made its own claim, if any, after the
  // close; that one stays.
  if (!openAfterClose) ::ioctl(slave_, TIOCNXCL);
  if (!keepFresh) monitor_.LineClosed();
  if (transcript_) transcript_->Event(Millis(), "client closed");
  if (hangUpPending) HangUp();
}

void SimServer::WritePending() {
  while (!outgoing_.empty() && master_ >= 0 && !blockedOnWrite_) {
    Outgoing& out = outgoing_.front();
    const SimTime now = std::chrono::steady_clock::now();
    if (now < out.due) return;
    if (out.sent < out.bytes.size()) {
      size_t count = out.bytes.size() - out.sent;
      if (config_.pace) {
        // Bytes leave one UART frame apart, never faster, from the reply's due time on.
        if (out.sent == 0) nextByte_ = std::max(nextByte_, out.due);
        if (now < nextByte_) return;
        count = 1;
      }
      ssize_t n = ::write(master_, out.bytes.data() + out.sent, count);
      if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
          blockedOnWrite_ = true;
        else if (errno != EINTR)
          HangUp();
        return;
      }
      out.sent += static_cast<size_t>(n);
      if (config_.pace) nextByte_ += kByteTime;
      if (out.sent < out.bytes.size()) continue;
    }
    if (transcript_ && !out.bytes.empty()) transcript_->Sent(Millis(), out.command, out.bytes);
    const bool hangUp = out.hangUpAfter;
    outgoing_.pop_front();
    if (hangUp) {
      LetClientTakeReply();
      HangUp();
    }
  }
}

void SimServer::LetClientTakeReply() {
  // The kernel passes written bytes to the client's side a moment later, and a hang-up
  // discards whatever the client has not read by then. A real device's last reply is on
  // the wire before it goes, so wait until the client has it (or, with nobody reading,
  // for a short while).
  const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
  bool arrived = false;
  while (std::chrono::steady_clock::now() < limit) {
    int waiting = 0;
    if (::ioctl(slave_, TIOCINQ, &waiting) < 0) return;
    if (waiting > 0) arrived = true;
    if (arrived && waiting == 0) return;
    ::usleep(1000);
  }
}

void SimServer::HangUp() {
  if (master_ < 0) return;
  outgoing_.clear();
  // The device is gone: a client that re-opens the link finds nothing there.
  RemoveLink();
  if (inotify_ >= 0) ::close(inotify_);
  ::close(slave_);
  ::close(master_);
  inotify_ = slave_ = master_ = -1;
  if (transcript_) transcript_->Event(Millis(), "hangup");
}

bool SimServer::Plug() {
  if (master_ >= 0) return false;
  OpenPty();
  linkPath_ = replugPath_;
  if (!linkPath_.empty()) CreateLink();
  monitor_.LineClosed();
  if (transcript_) transcript_->Event(Millis(), "plug");
  return true;
}

std::string SimServer::RandomBytes(size_t low, size_t high) {
  std::string bytes(std::uniform_int_distribution<size_t>(low, high)(noise_), '\0');
  std::uniform_int_distribution<int> byte(0, 255);
  for (char& c : bytes) c = static_cast<char>(byte(noise_));
  return bytes;
}

std::string SimServer::WithLineNoise(std::string reply) {
  if (reply.empty()) return reply;
  std::bernoulli_distribution truncate(config_.truncateChance), overlong(config_.overlongChance),
      burst(config_.burstChance);
  if (truncate(noise_))
    reply.resize(std::uniform_int_distribution<size_t>(0, reply.size() - 1)(noise_));
  if (overlong(noise_)) reply += RandomBytes(1, 32);
  if (burst(noise_)) reply.insert(0, RandomBytes(1, 64));
  return reply;
}

bool SimServer::SetLineNoise(std::istream& in) {
  double burst = 0, truncate = 0, overlong = 0;
  int jitter = 0;
  const auto chance = [](double p) { return p >= 0 && p <= 1; };
  if (!(in >> burst >> truncate >> overlong >> jitter) || !chance(burst) || !chance(truncate) ||
      !chance(overlong) || jitter < 0 || jitter > 600000)
    return false;
  config_.burstChance = burst;
  config_.truncateChance = truncate;
  config_.overlongChance = overlong;
  config_.jitterMs = jitter;
  return true;
}

void SimServer::PowerCycle() {
  // Replies the monitor had not sent yet die with it; a hang-up that was due still happens.
  bool hangUpPending = false;
  for (const Outgoing& out : outgoing_) hangUpPending = hangUpPending || out.hangUpAfter;
  outgoing_.clear();
  monitor_.PowerCycle();
  if (transcript_) transcript_->Event(Millis(), "power cycle");
  if (hangUpPending) HangUp();
}

void SimServer::ReadControl() {
  char buffer[256];
  ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n <= 0) {
    if (n == 0 || (errno != EINTR && errno != EAGAIN)) stdinOpen_ = false;
    return;
  }
  controlBuffer_.append(buffer, static_cast<size_t>(n));
  size_t eol;
  while ((eol = controlBuffer_.find('\n')) != std::string::npos) {
    std::string line = controlBuffer_.substr(0, eol);
    controlBuffer_.erase(0, eol + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) OnControlLine(line);
  }
}

void SimServer::OnControlLine(const std::string& line) {
  std::istringstream in(line);
  std::string what;
  double watts = 0;
  in >> what;
  bool ok = true;
  if (what == "hangup") {
    HangUp();
  } else if (what == "power-cycle") {
    PowerCycle();
  } else if (what == "plug") {
    ok = Plug();
  } else if (what == "burst") {
    long count = 0;
    ok = (in >> count) && count >= 1 && count <= 4096 && master_ >= 0;
    if (ok) {
      // Queued like a reply, so that it keeps its place among them and the pacing.
      Outgoing out;
      out.command = "~";
      out.bytes = RandomBytes(static_cast<size_t>(count), static_cast<size_t>(count));
      out.due = std::chrono::steady_clock::now();
      outgoing_.push_back(std::move(out));
      if (transcript_) transcript_->Event(Millis(), "burst");
    }
  } else if (what == "line-noise") {
    ok = SetLineNoise(in);
  } else if (what == "reading-reply") {
    std::string hex;
    in >> hex;
    ok =
        hex.size() % 2 == 0 && hex.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
    if (ok) {
      std::string bytes;
      for (size_t i = 0; i < hex.size(); i += 2)
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
      monitor_.SetReadingReply(std::move(bytes));
    }
  } else if (what == "frequency" && (in >> watts) && watts > 0 && config_.resonanceHz > 0) {
    frequencyHz_ = watts;
  } else if ((what == "forward" || what == "reflected" || what == "full-scale") && (in >> watts) &&
             watts >= 0) {
    if (what == "forward") {
      config_.forward = watts;
      monitor_.SetForward(watts);
    } else if (what == "reflected") {
      monitor_.SetReflected(watts);
    } else {
      ok = monitor_.SetFullScale(watts);
    }
  } else {
    ok = false;
  }
  std::printf("%s %s\n", ok ? "ok" : "error", line.c_str());
  std::fflush(stdout);
}

}  // namespace vemo::sim
