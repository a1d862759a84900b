// Turning a text into a file: byte copies, fresh temporary names, whole-file writes and the
// safe replacement of a file the user chose.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrivel {

// The bytes of a text, copied one to one (no conversion, no terminator).
std::string TextToBytes(std::string_view text);

// Where temporary names come from; tests replace the clock, the directory and the lookup.
struct TempNameSource {
  std::function<std::uint32_t()> tick_count;          // milliseconds since boot, mod 2^32
  std::function<std::optional<std::string>()> temp_dir;  // nullopt when unknown
  std::function<bool(const std::string&)> exists;     // lstat: any entry counts, dangling links too
  static TempNameSource System();
};

// A full path "<dir>/<hex>.tmp" that no entry holds at the moment of the test. The
// directory is the given one or, without one, the system's temporary directory; a "/" is
// added once. Each call moves the process-wide counter by one.
std::string MakeTempFileName(std::optional<std::string_view> dir = std::nullopt);
std::string MakeTempFileName(std::optional<std::string_view> dir, const TempNameSource& source);

// Creates or truncates `name` and writes the arrays one after the other, each whole
// (partial writes and EINTR are retried). True when everything was written and closed.
bool WriteBytesToFile(std::string_view name, std::initializer_list<std::string_view> arrays);

// Writes a new file that nobody else can have prepared: created exclusively, owner-only
// permissions, no link followed. When the name was taken after MakeTempFileName tested it,
// the next name is tried. Gives the path written, or nullopt when no file could be made.
std::optional<std::string> WriteNewTempFile(std::string_view bytes);
std::optional<std::string> WriteNewTempFile(std::string_view bytes, const TempNameSource& source);

// The outcome of replacing a file the user chose.
struct SaveResult {
  bool ok = false;
  std::string reason;  // a human-readable reason on failure (from the system error)
};

// Replaces the content of `path` so that it is never seen truncated or half written: the
// bytes go to a new file beside it, are flushed, and replace it by rename. An existing
// file keeps its permission bits; a symbolic link keeps pointing where it did and the file
// it points to is the one replaced. A file without write permission is refused.
SaveResult ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace ostrivel
