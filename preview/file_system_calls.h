// The system calls through which the file services change the disk, gathered in one place so
// that a test can make one of them fail (a full disk, a failed rename) without touching the
// real system.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <utility>

namespace ostrivel {

struct FileSystemCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<ssize_t(int fd, const void* data, size_t size)> write;
  std::function<int(int fd)> fsync;
  std::function<int(int fd)> close;
  std::function<int(int fd, mode_t mode)> fchmod;
  std::function<int(int fd, uid_t owner, gid_t group)> fchown;
  std::function<int(const char* from, const char* to)> rename;
  std::function<int(const char* path)> unlink;

  // The real calls of the C library.
  static FileSystemCalls Real() {
    return {
        .open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
        .write = [](int fd, const void* data, size_t size) { return ::write(fd, data, size); },
        .fsync = [](int fd) { return ::fsync(fd); },
        .close = [](int fd) { return ::close(fd); },
        .fchmod = [](int fd, mode_t mode) { return ::fchmod(fd, mode); },
        .fchown = [](int fd, uid_t owner, gid_t group) { return ::fchown(fd, owner, group); },
        .rename = [](const char* from, const char* to) { return std::rename(from, to); },
        .unlink = [](const char* path) { return ::unlink(path); },
    };
  }
};

namespace detail {
inline FileSystemCalls& MutableFileSystemCalls() {
  static FileSystemCalls calls = FileSystemCalls::Real();
  return calls;
}
}  // namespace detail

// The calls in force: the real ones, unless a test has put others in place.
inline const FileSystemCalls& ActiveFileSystemCalls() { return detail::MutableFileSystemCalls(); }

// Puts other calls in force for its lifetime and the previous ones back afterwards. For tests;
// not for use while another thread works with files.
class ScopedFileSystemCalls {
 public:
  explicit ScopedFileSystemCalls(FileSystemCalls replacement)
      : saved_(std::exchange(detail::MutableFileSystemCalls(), std::move(replacement))) {}
  ScopedFileSystemCalls(const ScopedFileSystemCalls&) = delete;
  ScopedFileSystemCalls& operator=(const ScopedFileSystemCalls&) = delete;
  ~ScopedFileSystemCalls() { detail::MutableFileSystemCalls() = std::move(saved_); }

 private:
  FileSystemCalls saved_;
};

}  // namespace ostrivel
