#include "preview/file_services.h"

#include <glib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <random>
#include <system_error>
#include <vector>

#include "preview/file_system_calls.h"
#include "preview/unique_fd.h"

namespace ostrivel {
namespace {

// Moves once per MakeTempFileName call and wraps at 2^32. Only the GUI thread names files,
// but an atomic costs nothing here and keeps a stray caller from corrupting it.
std::atomic<std::uint32_t> g_temp_name_counter{0};

// How often WriteNewTempFile takes a fresh name after losing the race for one.
constexpr int kNewTempFileAttempts = 100;
// How often a save draws a new name for its temporary file beside the target.
constexpr int kSaveTempAttempts = 100;
// Links followed before a chain counts as a loop (the kernel's own limit).
constexpr int kMaxLinkHops = 40;
// The longest name one directory entry may have on Linux file systems.
constexpr std::size_t kMaxEntryName = 255;

std::string ErrorText(int error) { return std::system_category().message(error); }

bool HoldsZeroByte(std::string_view text) { return text.find('\0') != std::string_view::npos; }

std::string HexTmpName(std::uint32_t number) {
  std::array<char, 8> digits{};
  const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), number, 16).ptr;
  return std::string(digits.data(), end) + ".tmp";
}

std::uint32_t MillisecondsSinceBoot() {
  timespec now{};
  if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_MONOTONIC, &now);
  const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                  static_cast<std::uint64_t>(now.tv_nsec) / 1'000'000u;
  return static_cast<std::uint32_t>(ms);  // modulo 2^32, as the tick count wraps
}

bool EntryExists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Opens with EINTR retried (an open can be interrupted while it waits on a slow device).
int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  const auto& calls = ActiveFileSystemCalls();
  int fd;
  do {
    fd = calls.open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Writes all of `bytes`, going on after partial writes and interruptions. Gives 0 or the
// error that stopped it.
int WriteAll(int fd, std::string_view bytes) {
  const auto& calls = ActiveFileSystemCalls();
  while (!bytes.empty()) {
    const ssize_t written = calls.write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    // A write that takes nothing without an error would loop for ever; a full device is
    // the only plausible cause.
    if (written == 0) return ENOSPC;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return 0;
}

// Closes and reports the result: some file systems only report a failed write here.
int CloseChecked(UniqueFd fd) {
  if (ActiveFileSystemCalls().close(fd.Release()) != 0) return errno;
  return 0;
}

// ---- Saving --------------------------------------------------------------------------------

struct SplitPath {
  std::string directory;  // "." for a bare name
  std::string name;       // the last component
};

SplitPath SplitDirectory(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string JoinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

// The file a save replaces: the end of the link chain that starts at the chosen path.
struct SaveTarget {
  std::string path;
  std::optional<struct stat> status;  // nullopt when no entry exists there yet
  std::string error;                  // set when the chain cannot be followed
};

std::optional<std::string> ReadLinkText(const std::string& link, off_t size_hint) {
  std::vector<char> buffer(static_cast<std::size_t>(size_hint > 0 ? size_hint : 64) + 1);
  for (;;) {
    const ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    // A full buffer may mean the text was cut; the link can have changed since lstat.
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

SaveTarget FollowLinkChain(const std::string& chosen) {
  std::string path = chosen;
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) return {path, std::nullopt, {}};
      return {path, std::nullopt, "cannot look up \"" + path + "\": " + ErrorText(errno)};
    }
    if (!S_ISLNK(status.st_mode)) return {path, status, {}};
    const auto link_text = ReadLinkText(path, status.st_size);
    if (!link_text) {
      return {path, std::nullopt, "cannot read the link \"" + path + "\": " + ErrorText(errno)};
    }
    // A relative link is read from the folder that holds the link.
    path = (!link_text->empty() && link_text->front() == '/')
               ? *link_text
               : JoinPath(SplitDirectory(path).directory, *link_text);
  }
  return {chosen, std::nullopt, "cannot follow \"" + chosen + "\": " + ErrorText(ELOOP)};
}

// Why an existing entry must not be replaced, or nothing when it may be.
std::optional<std::string> RefusalFor(const std::string& path, const struct stat& status) {
  if (S_ISDIR(status.st_mode)) return "\"" + path + "\" is a folder";
  // Replacing a device, pipe or socket with a plain file would break whatever used it.
  if (!S_ISREG(status.st_mode)) return "\"" + path + "\" is not a regular file";
  // Root passes every access() test, so a file without any write bit is refused by its mode.
  if ((status.st_mode & 0222) == 0) return "\"" + path + "\" is read-only";
  if (::access(path.c_str(), W_OK) != 0) {
    if (errno == EROFS) return "\"" + path + "\" is on a read-only file system";
    return "\"" + path + "\" is read-only: " + ErrorText(errno);
  }
  return std::nullopt;
}

std::string RandomSuffix() {
  static constexpr std::string_view kAlphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
  std::string suffix(6, '\0');
  for (char& c : suffix) c = kAlphabet[pick(engine)];
  return suffix;
}

// ".<name>.XXXXXX", with the name shortened where the whole would not fit in one entry.
std::string HiddenSiblingName(const std::string& name) {
  constexpr std::size_t kDecoration = 1 + 1 + 6;  // the dots and the suffix
  const std::string kept = name.substr(0, kMaxEntryName - kDecoration);
  return "." + kept + "." + RandomSuffix();
}

// A temporary file beside the target, created exclusively so nothing prepared is reused.
struct SiblingFile {
  UniqueFd fd;
  std::string path;
};

std::optional<SiblingFile> CreateSibling(const SplitPath& target, mode_t mode, std::string& error) {
  for (int attempt = 0; attempt < kSaveTempAttempts; ++attempt) {
    std::string path = JoinPath(target.directory, HiddenSiblingName(target.name));
    UniqueFd fd(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd) return SiblingFile{std::move(fd), std::move(path)};
    if (errno != EEXIST) {
      error = "cannot create a file in \"" + target.directory + "\": " + ErrorText(errno);
      return std::nullopt;
    }
  }
  error = "cannot create a file in \"" + target.directory + "\": " + ErrorText(EEXIST);
  return std::nullopt;
}

// Gives the new file the owner, group and permission bits of the file it replaces. Set-id
// bits are dropped, as a write into the old file would have dropped them.
int TakeOverAttributes(int fd, const struct stat& old) {
  const auto& calls = ActiveFileSystemCalls();
  if (::geteuid() == 0) {
    calls.fchown(fd, old.st_uid, old.st_gid);  // best effort: some file systems have no owners
  } else if (old.st_gid != ::getegid()) {
    calls.fchown(fd, static_cast<uid_t>(-1), old.st_gid);  // allowed if we are in the group
  }
  if (calls.fchmod(fd, old.st_mode & 0777) != 0) return errno;
  return 0;
}

// Makes the rename itself durable; a failure here leaves the new content in place anyway.
void FlushDirectory(const std::string& directory) {
  UniqueFd dir(OpenRetrying(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (dir) ActiveFileSystemCalls().fsync(dir.Get());
}

// Fills the sibling, then puts it in the target's place. Gives an error text or nothing.
std::optional<std::string> FillAndSwap(SiblingFile& sibling, const SaveTarget& target,
                                       std::string_view bytes) {
  const auto& calls = ActiveFileSystemCalls();
  const std::string quoted = "\"" + sibling.path + "\"";
  if (int error = WriteAll(sibling.fd.Get(), bytes)) {
    return "cannot write " + quoted + ": " + ErrorText(error);
  }
  if (calls.fsync(sibling.fd.Get()) != 0) return "cannot flush " + quoted + ": " + ErrorText(errno);
  if (target.status) {
    if (int error = TakeOverAttributes(sibling.fd.Get(), *target.status)) {
      return "cannot set the permissions of " + quoted + ": " + ErrorText(error);
    }
  }
  if (int error = CloseChecked(std::move(sibling.fd))) {
    return "cannot close " + quoted + ": " + ErrorText(error);
  }
  if (calls.rename(sibling.path.c_str(), target.path.c_str()) != 0) {
    return "cannot replace \"" + target.path + "\": " + ErrorText(errno);
  }
  return std::nullopt;
}

SaveResult Failure(std::string reason) { return {false, std::move(reason)}; }

}  // namespace

std::string TextToBytes(std::string_view text) { return std::string(text); }

TempNameSource TempNameSource::System() {
  return {
      .tick_count = MillisecondsSinceBoot,
      .temp_dir = []() -> std::optional<std::string> {
        // File-system bytes as GLib reports them (TMPDIR, else /tmp); never converted.
        const gchar* dir = g_get_tmp_dir();
        if (dir == nullptr || *dir == '\0') return std::nullopt;
        return std::string(dir);
      },
      .exists = EntryExists,
  };
}

std::string MakeTempFileName(std::optional<std::string_view> dir) {
  return MakeTempFileName(dir, TempNameSource::System());
}

std::string MakeTempFileName(std::optional<std::string_view> dir, const TempNameSource& source) {
  std::string directory = dir ? std::string(*dir) : source.temp_dir().value_or(std::string());
  if (!directory.empty() && directory.back() != '/') directory += '/';

  // Unsigned arithmetic wraps modulo 2^32, so ffffffff is followed by 0.
  std::uint32_t number = source.tick_count() + g_temp_name_counter.fetch_add(1);
  std::string candidate = directory + HexTmpName(number);
  while (source.exists(candidate)) {
    ++number;
    candidate = directory + HexTmpName(number);
  }
  return candidate;
}

bool WriteBytesToFile(std::string_view name, std::initializer_list<std::string_view> arrays) {
  // A zero byte would end the name early, so another file than the one named would be hit.
  if (name.empty() || HoldsZeroByte(name)) return false;
  UniqueFd fd(OpenRetrying(std::string(name), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd) return false;
  for (std::string_view bytes : arrays) {
    if (WriteAll(fd.Get(), bytes) != 0) return false;  // the destructor closes; bytes stay
  }
  return CloseChecked(std::move(fd)) == 0;
}

NewTempFile WriteNewTempFile(std::string_view bytes) {
  return WriteNewTempFile(bytes, TempNameSource::System());
}

NewTempFile WriteNewTempFile(std::string_view bytes, const TempNameSource& source) {
  for (int attempt = 0; attempt < kNewTempFileAttempts; ++attempt) {
    std::string path = MakeTempFileName(std::nullopt, source);
    // The temporary directory is shared with every user: O_EXCL with O_NOFOLLOW means an
    // entry planted at this name, a link above all, is never opened, followed or replaced,
    // and 0600 keeps other users from reading the preview.
    UniqueFd fd(OpenRetrying(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
      if (errno == EEXIST) continue;  // taken since the test: draw the next name
      return {};
    }
    const bool written = WriteAll(fd.Get(), bytes) == 0 && CloseChecked(std::move(fd)) == 0;
    return {std::move(path), written};
  }
  return {};
}

SaveResult ReplaceFileContents(const std::string& path, std::string_view bytes) {
  if (path.empty()) return Failure("no file name was given");
  if (HoldsZeroByte(path)) return Failure("the file name holds a zero byte");

  const SaveTarget target = FollowLinkChain(path);
  if (!target.error.empty()) return Failure(target.error);
  const SplitPath parts = SplitDirectory(target.path);
  if (parts.name.empty() || parts.name == "." || parts.name == "..") {
    return Failure("\"" + path + "\" names a folder, not a file");
  }
  if (target.status) {
    if (auto refusal = RefusalFor(target.path, *target.status)) return Failure(*refusal);
  }

  // A new file gets the usual 0666 less the umask; one that replaces a file starts private
  // and takes the old file's bits once its content is complete.
  std::string error;
  auto sibling = CreateSibling(parts, target.status ? 0600 : 0666, error);
  if (!sibling) return Failure(error);
  if (auto failure = FillAndSwap(*sibling, target, bytes)) {
    ActiveFileSystemCalls().unlink(sibling->path.c_str());
    return Failure(*failure);
  }
  FlushDirectory(parts.directory);
  return {true, {}};
}

}  // namespace ostrivel
