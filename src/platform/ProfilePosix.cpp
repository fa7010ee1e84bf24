// The POSIX port's settings file: the profile rules over our own INI text
// module, every write replacing the file atomically, under a lock that every
// process shares; and the temporary files that killed writers leave.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <mutex>

#include "platform/IniText.h"
#include "platform/Platform.h"
#include "platform/PortStatus.h"

namespace msx::platform {

namespace {

// The lock of one file: its threads take turns on `turn`; the first take
// of a thread opens the lock file and locks it for the process (flock, so
// that the lock goes with the process, killed or not), the last release
// closes it. Made at the first take and kept for the library's life.
struct FileLock {
  std::string path;
  std::recursive_mutex turn;
  int depth = 0;
  int fd = -1;
  FileLock* next = nullptr;
};
constinit std::mutex gFileLocksGuard;
constinit FileLock* gFileLocks = nullptr;

// The locks go with the library: when it is unloaded no call is running, so
// none is held, and each one's memory is given back.
struct FileLocksRelease {
  ~FileLocksRelease() {
    while (gFileLocks != nullptr) {
      FileLock* const l = gFileLocks;
      gFileLocks = l->next;
      if (l->fd >= 0) close(l->fd);
      delete l;
    }
  }
} gFileLocksRelease;

FileLock& FileLockFor(const std::string& path) {
  const std::lock_guard<std::mutex> guard(gFileLocksGuard);
  for (FileLock* l = gFileLocks; l != nullptr; l = l->next)
    if (l->path == path) return *l;
  FileLock* l = new FileLock;
  l->path = path;
  l->next = gFileLocks;
  gFileLocks = l;
  return *l;
}

// Holds LockAcrossProcesses for its lifetime.
class HeldAcrossProcesses {
 public:
  explicit HeldAcrossProcesses(const std::string& path) : lock_(LockAcrossProcesses(path)) {}
  ~HeldAcrossProcesses() { UnlockAcrossProcesses(lock_); }
  HeldAcrossProcesses(const HeldAcrossProcesses&) = delete;
  HeldAcrossProcesses& operator=(const HeldAcrossProcesses&) = delete;

 private:
  void* lock_;
};

// The settings file's text; empty when it cannot be read (missing included).
std::string SettingsText(const std::string& path) {
  std::string text;
  if (!ReadWholeFile(path, &text).ok()) text.clear();
  return text;
}

// Writes bytes to a temporary file beside path, flushes it to the disk and
// renames it over path: readers see the old content or the new, never a
// part. The file keeps its permissions. On failure path is untouched and
// the temporary file is gone.
Status ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  // A name of its own for every replace in the process, whichever thread
  // makes it: the file is opened exclusively, so a shared name would fail.
  static constinit std::atomic<unsigned> counter{0};
  const std::string temp =
      path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return FromErrno(errno);
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) (void)::fchmod(fd, old.st_mode & 07777);
  int error = 0;
  std::size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) error = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return FromErrno(error);
  }
  // The rename itself is durable once the folder is.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    (void)::fsync(dir);
    ::close(dir);
  }
  return {};
}

}  // namespace

std::string ReadProfileText(const std::string& path, const std::string& section,
                            const std::string& key, const std::string& defaultValue) {
  std::optional<std::string> value = ini::Find(SettingsText(path), section, key);
  if (!value) value = defaultValue;
  if (value->size() > kProfileValueLimit) value->resize(kProfileValueLimit);
  return *value;
}

void* LockAcrossProcesses(const std::string& path) {
  FileLock& l = FileLockFor(path);
  l.turn.lock();
  if (l.depth++ == 0) {
    const std::string name = path + ".lock";
    l.fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (l.fd < 0) l.fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);  // another user's
    if (l.fd >= 0) {
      while (::flock(l.fd, LOCK_EX) != 0 && errno == EINTR) {
      }
    }
  }
  return &l;
}

void UnlockAcrossProcesses(void* lock) {
  if (lock == nullptr) return;
  FileLock& l = *static_cast<FileLock*>(lock);
  if (--l.depth == 0 && l.fd >= 0) {
    ::close(l.fd);  // releases the flock
    l.fd = -1;
  }
  l.turn.unlock();
}

void RemoveStaleProfileFiles(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string prefix = path.substr(slash == std::string::npos ? 0 : slash + 1) + ".tmp";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    // The writer's name: prefix, its process id, "_", a number of its own.
    std::string_view rest = entry->d_name;
    if (rest.substr(0, prefix.size()) != prefix) continue;
    rest.remove_prefix(prefix.size());
    const std::size_t cut = rest.find('_');
    if (cut == 0 || cut == std::string_view::npos || cut + 1 == rest.size() ||
        rest.find_first_not_of("0123456789_") != std::string_view::npos ||
        rest.find('_', cut + 1) != std::string_view::npos)
      continue;
    pid_t writer = 0;
    const auto [end, ec] = std::from_chars(rest.data(), rest.data() + cut, writer);
    if (ec != std::errc{} || end != rest.data() + cut || writer <= 0) continue;
    if (::kill(writer, 0) == 0 || errno != ESRCH) continue;  // alive, or not ours to judge
    (void)::unlinkat(::dirfd(dir), entry->d_name, 0);
  }
  ::closedir(dir);
}

Status WriteProfileText(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value) {
  const HeldAcrossProcesses oneAtATime(path);
  RemoveStaleProfileFiles(path);
  std::string text;
  const Status read = ReadWholeFile(path, &text);
  if (!read.ok()) {
    if (read.code != StatusCode::kNotFound) return read;  // never replace what cannot be read
    text.clear();
  }
  return ReplaceFileAtomically(path, ini::Set(text, section, key, value));
}

Status DeleteProfileKey(const std::string& path, const std::string& section,
                        const std::string& key) {
  const HeldAcrossProcesses oneAtATime(path);
  std::string text;
  const Status read = ReadWholeFile(path, &text);
  if (read.code == StatusCode::kNotFound) return {};
  if (!read.ok()) return read;
  if (!ini::Find(text, section, key)) return {};  // nothing to write
  RemoveStaleProfileFiles(path);
  return ReplaceFileAtomically(path, ini::Remove(text, section, key));
}

bool ProfileSectionHasKeys(const std::string& path, const std::string& section) {
  return ini::SectionHasKeys(SettingsText(path), section);
}

Status FlushProfile(const std::string& /*path*/) { return {}; }

}  // namespace msx::platform
