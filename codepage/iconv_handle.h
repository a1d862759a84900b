// An owned conversion descriptor of the C library's iconv.
#pragma once

#include <iconv.h>

#include <cstddef>
#include <utility>

namespace ostrivel::codepage {

// Move-only owner of an iconv_t; a moved-from or failed handle is invalid and closes nothing.
// One handle must not be used by two threads at a time (iconv keeps shift state in it).
class IconvHandle {
 public:
  IconvHandle() = default;
  IconvHandle(const char* to_encoding, const char* from_encoding)
      : cd_(iconv_open(to_encoding, from_encoding)) {}
  ~IconvHandle() { Close(); }

  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  IconvHandle(IconvHandle&& other) noexcept : cd_(std::exchange(other.cd_, Invalid())) {}
  IconvHandle& operator=(IconvHandle&& other) noexcept {
    if (this != &other) {
      Close();
      cd_ = std::exchange(other.cd_, Invalid());
    }
    return *this;
  }

  bool valid() const { return cd_ != Invalid(); }

  // iconv(3) on this descriptor: converts from *in, advancing both sides; (size_t)-1 with errno
  // on a stop (EILSEQ, EINVAL, E2BIG).
  std::size_t Convert(char** in, std::size_t* in_left, char** out, std::size_t* out_left) {
    return iconv(cd_, in, in_left, out, out_left);
  }

  // Back to the initial shift state, as after a fresh open.
  void Reset() { iconv(cd_, nullptr, nullptr, nullptr, nullptr); }

 private:
  static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
  void Close() {
    if (valid()) iconv_close(std::exchange(cd_, Invalid()));
  }

  iconv_t cd_ = Invalid();
};

}  // namespace ostrivel::codepage
