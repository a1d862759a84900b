// Opening a document the user chose, for reading.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>

#include "preview/unique_fd.h"

namespace ostrivel {

struct OpenedDocument {
  UniqueFd fd;
  std::uint64_t size = 0;  // at the moment of opening
};

// Opens `path` for reading. Only regular files (links followed) count as documents: a
// folder, a device or a pipe gives nullopt, since reading one would fail, never end, or
// block the program waiting for a writer (hence the non-blocking open).
inline std::optional<OpenedDocument> OpenDocumentForReading(const std::string& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  OpenedDocument document{UniqueFd(fd)};
  if (!document.fd) return std::nullopt;
  struct stat info {};
  if (::fstat(document.fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  document.size = static_cast<std::uint64_t>(info.st_size);
  return document;
}

}  // namespace ostrivel
