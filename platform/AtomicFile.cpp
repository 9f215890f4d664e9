// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <ctime>
#include <filesystem>

#include "platform/Exception.h"

namespace vemo {

namespace {

// The file that a write to path really changes: the end of a chain of symbolic links, also
// when that file does not exist yet. Empty when the chain does not end.
std::string WriteTarget(const std::string& path) {
  std::filesystem::path current(path);
  for (int hops = 0; hops < 40; ++hops) {
    char link[PATH_MAX];
    const ssize_t n = ::readlink(current.c_str(), link, sizeof link);
    if (n < 0 || static_cast<size_t>(n) == sizeof link) return current.string();
    const std::filesystem::path next(std::string(link, static_cast<size_t>(n)));
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  return {};
}

// Whether the user may change the existing file. access(2) lets the superuser write any
// file; one without any write permission was made read-only on purpose, for everyone.
bool MayWrite(const std::string& file, const struct stat& st) {
  return (st.st_mode & 0222) != 0 && ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) == 0;
}

// Writes content at the start of fd.
bool WriteAll(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n =
        ::pwrite(fd, content.data() + done, content.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

// Makes fd hold exactly content, on disk.
bool Rewrite(int fd, const std::string& content) {
  return WriteAll(fd, content) && ::ftruncate(fd, static_cast<off_t>(content.size())) == 0 &&
         ::fsync(fd) == 0;
}

std::string TemporaryPrefix(const std::string& base) {
  return "." + base + ".tmp-";
}

// Creates a new temporary file in dir; mode 0666 so the umask decides as for any new file.
// Its name carries the writer's pid, so that a leftover can be told from one in use.
int CreateTemporary(const std::string& dir, const std::string& base, std::string& tempPath) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = dir + "/" + TemporaryPrefix(base) + std::to_string(getpid()) + "-" +
               std::to_string(counter.fetch_add(1));
    int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// The writer's pid in a temporary's name "<prefix><pid>-<n>", or 0 when name is no such.
pid_t TemporaryWriter(const std::string& name, const std::string& prefix) {
  if (name.compare(0, prefix.size(), prefix) != 0) return 0;
  const std::string rest = name.substr(prefix.size());
  const size_t dash = rest.find('-');
  const auto digits = [](const std::string& s) {
    return !s.empty() && s.size() <= 9 && s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (dash == std::string::npos || !digits(rest.substr(0, dash)) || !digits(rest.substr(dash + 1)))
    return 0;
  return static_cast<pid_t>(std::stol(rest.substr(0, dash)));
}

// Removes the temporaries that a save of base left behind when it was killed: our own
// naming only, regular files of ours only, and only ones no live writer can still be
// renaming. A writer that is still alive gets a generous age limit, for pid reuse.
void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
  constexpr time_t kInUseSeconds = 60;
  const std::string prefix = TemporaryPrefix(base);
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    const pid_t writer = TemporaryWriter(name, prefix);
    if (writer <= 0 || writer == getpid()) continue;
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
      continue;
    const bool writerGone = ::kill(writer, 0) != 0 && errno == ESRCH;
    if (writerGone || ::time(nullptr) - st.st_mtime > kInUseSeconds) ::unlink(entry.path().c_str());
  }
}

void SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: some file systems refuse fsync on directories
  ::close(fd);
}

// For a file the user may write in a folder where no file can be replaced (an installed
// program's folder). A backup beside it, where one can be made, keeps the old content
// should the write be cut off; a failed write puts the old content back.
void WriteInPlace(const std::string& target, const struct stat& original,
                  const std::string& content, const std::string& failure) {
  std::string old;
  try {
    ReadWholeFile(target, old);
  } catch (const Exception&) {
    throw Exception(failure);
  }
  const std::string backup = target + ".bak";
  bool backedUp = false;
  const int b = ::open(backup.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                       original.st_mode & 0666);
  if (b >= 0) {
    backedUp = Rewrite(b, old);
    backedUp = ::close(b) == 0 && backedUp;
    if (!backedUp) ::unlink(backup.c_str());  // half a backup would mislead
  }

  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) throw Exception(failure);
  const bool ok = Rewrite(fd, content);
  const bool intact = ok || Rewrite(fd, old);
  ::close(fd);
  if (backedUp && intact) ::unlink(backup.c_str());
  if (!ok) throw Exception(failure);
}

}  // namespace

std::string AbsoluteFilePath(const std::string& path) {
  std::error_code ec;
  auto absolute = std::filesystem::absolute(path, ec);
  return ec ? path : absolute.lexically_normal().string();
}

SaveMethod SaveFile(const std::string& path, const std::string& content) {
  const std::string failure = "Unable to write to " + AbsoluteFilePath(path);
  const std::filesystem::path target(WriteTarget(path));
  std::string dir = target.parent_path().string();
  if (dir.empty()) dir = ".";
  const std::string base = target.filename().string();
  if (base.empty()) throw Exception(failure);

  struct stat original {};
  const bool exists = ::stat(target.c_str(), &original) == 0;
  if (exists && (!S_ISREG(original.st_mode) || !MayWrite(target, original)))
    throw Exception(failure);

  std::string tempPath;
  int fd = CreateTemporary(dir, base, tempPath);
  if (fd < 0) {
    if (!exists) throw Exception(failure);
    WriteInPlace(target, original, content, failure);
    return SaveMethod::InPlace;
  }

  if (exists) {
    // Keep the owner's choice of permissions (and the owner, where we may).
    ::fchmod(fd, original.st_mode & 07777);
    if (::fchown(fd, original.st_uid, original.st_gid) != 0) {
      // Not permitted for ordinary users; the file then belongs to us, as any new file would.
    }
  }

  bool ok = WriteAll(fd, content) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) {
    ::unlink(tempPath.c_str());
    throw Exception(failure);
  }
  if (::rename(tempPath.c_str(), target.c_str()) != 0) {
    const int error = errno;
    ::unlink(tempPath.c_str());
    // A sticky folder such as /tmp lets us add files but not replace another user's.
    if (!exists || (error != EPERM && error != EACCES)) throw Exception(failure);
    WriteInPlace(target, original, content, failure);
    return SaveMethod::InPlace;
  }
  RemoveStaleTemporaries(dir, base);
  SyncDirectory(dir);
  return SaveMethod::Replaced;
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
