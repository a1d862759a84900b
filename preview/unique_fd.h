// An owned file descriptor that is closed exactly once.
#pragma once

#include <unistd.h>

#include <utility>

namespace ostrivel {

// Owns one open file descriptor (or none, -1). Not copyable; a move hands the descriptor on
// and leaves -1 behind. The destructor closes without reporting: a caller that must know
// whether the close succeeded (the data reached the file) takes the descriptor with Release()
// and closes it itself.
class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~UniqueFd() { Reset(); }

  int Get() const noexcept { return fd_; }
  bool IsOpen() const noexcept { return fd_ >= 0; }
  explicit operator bool() const noexcept { return IsOpen(); }

  // Gives up ownership: the caller now closes the descriptor.
  [[nodiscard]] int Release() noexcept { return std::exchange(fd_, -1); }

  // Closes the held descriptor, if any, and takes `fd` instead.
  void Reset(int fd = -1) noexcept {
    const int old = std::exchange(fd_, fd);
    // No retry on EINTR: Linux has released the descriptor even then, and a retry could
    // close one that another thread has just been given.
    if (old >= 0) ::close(old);
  }

 private:
  int fd_ = -1;
};

}  // namespace ostrivel
