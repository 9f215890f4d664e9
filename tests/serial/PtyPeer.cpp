// SPDX-License-Identifier: GPL-3.0-or-later
#include "PtyPeer.h"
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <thread>

namespace vemo::test {

PtyPeer::PtyPeer() {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
    throw std::runtime_error("cannot create a pty");
  termios t;
  ::tcgetattr(master_, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(master_, TCSANOW, &t);
  char name[128];
  ::ptsname_r(master_, name, sizeof name);
  slavePath_ = name;
}

PtyPeer::~PtyPeer() {
  Unplug();
}

void PtyPeer::Unplug() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPeer::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) throw std::runtime_error("pty write failed");
      pollfd p{master_, POLLOUT, 0};
      ::poll(&p, 1, 100);
      continue;
    }
    bytes.remove_prefix(size_t(n));
  }
}

std::string PtyPeer::Read(size_t n, std::chrono::milliseconds timeout) {
  std::string got;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  char buf[65536];
  while (got.size() < n) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, int(left.count())) <= 0) continue;
    ssize_t r = ::read(master_, buf, std::min(sizeof buf, n - got.size()));
    if (r <= 0) break;
    got.append(buf, size_t(r));
  }
  return got;
}

std::string PtyPeer::ReadAvailable(std::chrono::milliseconds quiet) {
  std::string got;
  char buf[4096];
  for (;;) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, int(quiet.count())) <= 0) break;
    ssize_t r = ::read(master_, buf, sizeof buf);
    if (r <= 0) break;
    got.append(buf, size_t(r));
  }
  return got;
}

namespace {

// The port map of this test program, in a folder removed when the program ends.
struct ScratchIni {
  ScratchIni()
      : dir(std::filesystem::temp_directory_path() /
            ("vemo-serial-test-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(dir);
    file = (dir / "VemoSWR.ini").string();
    ::setenv("VEMOSWR_INI", file.c_str(), 1);
  }
  ~ScratchIni() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::filesystem::path dir;
  std::string file;
};

}  // namespace

void MapPort(int n, const std::string& path) {
  static std::map<int, std::string> ports;
  static const ScratchIni ini;
  ports[n] = path;
  std::ofstream out(ini.file, std::ios::trunc);
  out << "[Ports]\n";
  for (const auto& [number, device] : ports) out << "COM" << number << "=" << device << "\n";
}

bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  if (done()) return true;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  QEventLoop loop;
  QTimer tick;
  tick.setInterval(2);
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (done() || std::chrono::steady_clock::now() >= deadline) loop.quit();
  });
  tick.start();
  loop.exec();
  return done();
}

void ProcessFor(std::chrono::milliseconds span) {
  auto deadline = std::chrono::steady_clock::now() + span;
  ProcessUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, span + 1000ms);
}

int ThreadCount() {
  int n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/task")) ++n;
  return n;
}

int ThreadCountSettled(int expected) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  int n = ThreadCount();
  while (n != expected && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    n = ThreadCount();
  }
  return n;
}

std::chrono::milliseconds ProcessCpuTime() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  auto ms = [](const timeval& t) { return t.tv_sec * 1000 + t.tv_usec / 1000; };
  return std::chrono::milliseconds(ms(u.ru_utime) + ms(u.ru_stime));
}

}  // namespace vemo::test
