#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
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
