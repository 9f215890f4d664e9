#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <filesystem>

#include "platform/Exception.h"

namespace vemo {

namespace {

// The file that a write to path really changes: the target of a symbolic link.
std::string WriteTarget(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  }
  return path;
}

bool WriteAll(int fd, const std::string& content) {
  const char* data = content.data();
  size_t left = content.size();
  while (left > 0) {
    ssize_t n = ::write(fd, data, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

// Creates a new temporary file in dir; mode 0666 so the umask decides as for any new file.
int CreateTemporary(const std::string& dir, const std::string& base, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = dir + "/." + base + ".tmp-" + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: some file systems refuse fsync on directories
  ::close(fd);
}

}  // namespace

std::string AbsoluteFilePath(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

void ReplaceFileAtomically(const std::string& path, const std::string& content) {
  const std::string failure = "Unable to write to " + AbsoluteFilePath(path);
  const std::filesystem::path target(WriteTarget(path));
  std::string dir = target.parent_path().string();
  if (dir.empty()) dir = ".";
  const std::string base = target.filename().string();
  if (base.empty()) throw Exception(failure);

  std::string tempPath;
  int fd = CreateTemporary(dir, base, tempPath);
  if (fd < 0) throw Exception(failure);

  struct stat original {};
  if (::stat(target.c_str(), &original) == 0 && S_ISREG(original.st_mode)) {
    // Keep the owner's choice of permissions (and the owner, where we may).
    ::fchmod(fd, original.st_mode & 07777);
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // Not permitted for ordinary users; the file then belongs to us, as any new file would.
    }
  }

  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(tempPath.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempPath.c_str());
    throw Exception(failure);
  }
  SyncDirectory(dir);
}

bool ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return false;
    throw Exception("Unable to read " + AbsoluteFilePath(path));
  }
  char chunk[8192];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      throw Exception("Unable to read " + AbsoluteFilePath(path));
    }
    if (n == 0) break;
    content.append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace vemo
