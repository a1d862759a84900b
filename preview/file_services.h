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
  std::function<std::uint32_t()> tick_count;             // milliseconds since boot, mod 2^32
  std::function<std::optional<std::string>()> temp_dir;  // nullopt when unknown
  std::function<bool(const std::string&)> exists;  // lstat: any entry counts, dangling links too
  static TempNameSource System();
};

// A full path "<dir>/<hex>.tmp" that no entry holds at the moment of the test. The
// directory is the given one or, without one, the system's temporary directory; a "/" is
// added once; an empty or unknown directory gives a bare name. Each call moves the
// process-wide counter by one. The counter is meant for the GUI thread; it is atomic all the
// same, so a call from elsewhere cannot corrupt it.
std::string MakeTempFileName(std::optional<std::string_view> dir = std::nullopt);
std::string MakeTempFileName(std::optional<std::string_view> dir, const TempNameSource& source);

// Creates or truncates `name` and writes the arrays one after the other, each whole
// (partial writes and EINTR are retried). True when everything was written and closed. An
// empty name (or one holding a zero byte) gives false and touches nothing; a failed write
// stops there and leaves the bytes already written in the file.
bool WriteBytesToFile(std::string_view name, std::initializer_list<std::string_view> arrays);

// A preview file: where it is and whether all of its bytes reached it.
struct NewTempFile {
  std::string path;      // empty when no file could be created at all
  bool written = false;  // true when every byte was written and the file closed
};

// Writes a new file in the temporary directory that nobody else can have prepared: created
// exclusively, owner-only permissions (0600), no existing entry or link followed or replaced.
// When the name was taken after MakeTempFileName tested it, the next name is tried. A file
// whose write failed is left in place, with what was written, and its path is still given.
NewTempFile WriteNewTempFile(std::string_view bytes);
NewTempFile WriteNewTempFile(std::string_view bytes, const TempNameSource& source);

// The outcome of replacing a file the user chose.
struct SaveResult {
  bool ok = false;
  std::string reason;  // a human-readable reason on failure (from the system error)
};

// Replaces the content of `path` so that it is never seen truncated or half written: the
// bytes go to a new file beside it, are flushed, and replace it by rename. An existing
// file keeps its permission bits; a symbolic link keeps pointing where it did and the file
// it points to is the one replaced (a dangling link: the file it names is created). A file
// without write permission is refused, even for root, and so is anything but a regular file.
// On failure the target is unchanged, no temporary file stays behind, and `reason` says which
// step failed and why.
SaveResult ReplaceFileContents(const std::string& path, std::string_view bytes);

}  // namespace ostrivel
