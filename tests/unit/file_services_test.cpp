#include "preview/file_services.h"

#include <fcntl.h>
#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>

#include "preview/file_system_calls.h"

namespace ostrivel {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// ---- Helpers -------------------------------------------------------------------------------

std::string Hex(std::string_view bytes) {
  std::ostringstream out;
  static constexpr char kDigits[] = "0123456789abcdef";
  for (unsigned char byte : bytes) out << kDigits[byte >> 4] << kDigits[byte & 15] << ' ';
  return out.str();
}

// Byte-for-byte comparison that shows both sides in hexadecimal and where they part.
::testing::AssertionResult SameBytes(std::string_view expected, std::string_view actual) {
  if (expected == actual) return ::testing::AssertionSuccess();
  const auto mismatch =
      std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  return ::testing::AssertionFailure()
         << "bytes differ at offset " << (mismatch.first - expected.begin()) << "\n  expected ("
         << expected.size() << "): " << Hex(expected) << "\n  actual   (" << actual.size()
         << "): " << Hex(actual);
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void PutFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

mode_t ModeOf(const fs::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

std::uint32_t ParseHexName(const std::string& path) {
  const auto start = path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1;
  return static_cast<std::uint32_t>(std::stoul(path.substr(start), nullptr, 16));
}

// The counter value the next MakeTempFileName call will add (found with one call at tick 0).
std::uint32_t NextCounterValue() {
  const TempNameSource probe{[] { return 0u; }, [] { return std::nullopt; },
                             [](const std::string&) { return false; }};
  return ParseHexName(MakeTempFileName("", probe)) + 1;
}

// A source whose next call starts from `number` in `dir`, testing names with lstat.
TempNameSource SourceStartingAt(std::uint32_t number, std::string dir) {
  const std::uint32_t tick = number - NextCounterValue();
  return {[tick] { return tick; }, [dir] { return std::optional<std::string>(dir); },
          TempNameSource::System().exists};
}

// Every test works in a folder of its own, removed afterwards, with a known umask.
class FileServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "ostrivel-fs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    saved_umask_ = ::umask(022);
  }
  void TearDown() override {
    ::umask(saved_umask_);
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename());
    return names;
  }

  fs::path dir_;
  mode_t saved_umask_ = 0;
};

// ---- TextToBytes ---------------------------------------------------------------------------

TEST(TextToBytesTest, CopiesEveryByteUnchanged) {
  const std::string_view cases[] = {
      "",
      "abc",
      "line\r\nbreak\r\n",
      "\xd6\xd0\xce\xc4",           // two code page 936 characters
      std::string_view("a\0b", 3),  // a byte array may hold zero bytes
  };
  for (std::string_view text : cases) EXPECT_TRUE(SameBytes(text, TextToBytes(text)));
}

// ---- MakeTempFileName ----------------------------------------------------------------------

TEST(MakeTempFileNameTest, CallsInTheSameTickGiveNumbersOneApart) {
  const TempNameSource source{[] { return 0x1000u; }, [] { return std::string("/t"); },
                              [](const std::string&) { return false; }};
  const std::string first = MakeTempFileName(std::nullopt, source);
  const std::string second = MakeTempFileName(std::nullopt, source);
  EXPECT_THAT(first, MatchesRegex("/t/[0-9a-f]+\\.tmp"));
  EXPECT_EQ(ParseHexName(second), ParseHexName(first) + 1);
}

TEST(MakeTempFileNameTest, DirectoryGetsOneSeparatorAndEmptyDirectoryGivesBareName) {
  struct Case {
    std::optional<std::string> given;
    std::optional<std::string> system_dir;
    std::string expected_prefix;
  };
  const Case cases[] = {
      {"/given", "/sys", "/given/"},     // separator added
      {"/given/", "/sys", "/given/"},    // not added twice
      {"rel", "/sys", "rel/"},           // a relative folder is taken as it is
      {std::nullopt, "/sys", "/sys/"},   // the system's folder without one
      {std::nullopt, "/sys/", "/sys/"},  // nor twice to the system one
      {"", "/sys", ""},                  // an empty folder gives a bare name
      {std::nullopt, std::nullopt, ""},  // so does an unknown system folder
  };
  for (const Case& c : cases) {
    const TempNameSource source{[] { return 0x1au; }, [&c] { return c.system_dir; },
                                [](const std::string&) { return false; }};
    const std::optional<std::string_view> given =
        c.given ? std::optional<std::string_view>(*c.given) : std::nullopt;
    const std::string name = MakeTempFileName(given, source);
    SCOPED_TRACE(name);
    EXPECT_EQ(name.substr(0, c.expected_prefix.size()), c.expected_prefix);
    EXPECT_THAT(name.substr(c.expected_prefix.size()), MatchesRegex("[0-9a-f]+\\.tmp"));
  }
}

TEST(MakeTempFileNameTest, NumberIsWrittenInLowercaseHexWithoutLeadingZeros) {
  const struct {
    std::uint32_t number;
    std::string name;
  } cases[] = {
      {0, "0.tmp"}, {0x1a, "1a.tmp"}, {0xabcdef, "abcdef.tmp"}, {0xffffffff, "ffffffff.tmp"}};
  for (const auto& c : cases) {
    TempNameSource source = SourceStartingAt(c.number, "");
    source.exists = [](const std::string&) { return false; };
    EXPECT_EQ(MakeTempFileName("", source), c.name);
  }
}

TEST(MakeTempFileNameTest, NextNumberAfterFfffffffIsZero) {
  TempNameSource source = SourceStartingAt(0xffffffff, "/t");
  source.exists = [](const std::string& path) { return path == "/t/ffffffff.tmp"; };
  EXPECT_EQ(MakeTempFileName(std::nullopt, source), "/t/0.tmp");
}

TEST_F(FileServicesTest, TakenNamesAreSkippedWhateverTheEntryIs) {
  // A file, a folder and a dangling link all hold a name.
  PutFile(dir_ / "5000.tmp", "x");
  fs::create_directory(dir_ / "5001.tmp");
  fs::create_symlink(dir_ / "nowhere", dir_ / "5002.tmp");
  const TempNameSource source = SourceStartingAt(0x5000, dir_.string());
  EXPECT_EQ(MakeTempFileName(std::nullopt, source), (dir_ / "5003.tmp").string());
  EXPECT_EQ(Entries().size(), 3u) << "a name is only tested, never created";
}

TEST(MakeTempFileNameTest, SystemSourceNamesAFreeEntryInGlibTemporaryDirectory) {
  std::string expected_dir = g_get_tmp_dir();
  if (expected_dir.back() != '/') expected_dir += '/';
  const std::string name = MakeTempFileName();
  ASSERT_EQ(name.substr(0, expected_dir.size()), expected_dir);
  EXPECT_THAT(name.substr(expected_dir.size()), MatchesRegex("[0-9a-f]+\\.tmp"));
  EXPECT_FALSE(fs::exists(fs::symlink_status(name)));
}

// ---- WriteBytesToFile ----------------------------------------------------------------------

TEST_F(FileServicesTest, WriteBytesToFileWithoutUsableNameGivesFalseAndCreatesNothing) {
  const fs::path previous = fs::current_path();
  fs::current_path(dir_);  // where a bare name would land
  EXPECT_FALSE(WriteBytesToFile("", {"abc"}));
  // The zero byte would otherwise cut the name to "a".
  EXPECT_FALSE(WriteBytesToFile(std::string_view("a\0b", 3), {"abc"}));
  fs::current_path(previous);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileServicesTest, WriteBytesToFileReplacesTheWholeFile) {
  struct Case {
    const char* what;
    std::optional<std::string> old_content;
    std::string bytes;
  };
  const Case cases[] = {
      {"one empty array creates an empty file", std::nullopt, ""},
      {"one empty array cuts an existing file", "old content", ""},
      {"a longer old file keeps no tail", "0123456789abcdef", "new"},
      {"zero bytes are written", std::nullopt, std::string("a\0b", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = dir_ / "out.htm";
    fs::remove(file);
    if (c.old_content) PutFile(file, *c.old_content);
    EXPECT_TRUE(WriteBytesToFile(file.string(), {c.bytes}));
    EXPECT_TRUE(SameBytes(c.bytes, ReadFile(file)));
  }
}

TEST_F(FileServicesTest, WriteBytesToFilePutsSeveralArraysOneAfterAnother) {
  const fs::path file = dir_ / "out.htm";
  PutFile(file, "zz");
  EXPECT_TRUE(WriteBytesToFile(file.string(), {"<p>", "", "\xd6\xd0\r\n", "</p>"}));
  EXPECT_TRUE(SameBytes("<p>\xd6\xd0\r\n</p>", ReadFile(file)));
}

TEST_F(FileServicesTest, WriteBytesToFileReportsFailuresAsFalse) {
  EXPECT_FALSE(WriteBytesToFile((dir_ / "missing" / "a.htm").string(), {"abc"}));
  fs::create_directory(dir_ / "folder");
  EXPECT_FALSE(WriteBytesToFile((dir_ / "folder").string(), {"abc"}));
  EXPECT_FALSE(WriteBytesToFile("/dev/full", {"abc"})) << "a full device fails the write";
}

// Write calls that hand over at most `chunk` bytes and are interrupted every third time.
FileSystemCalls ChoppyWrites(std::size_t chunk) {
  FileSystemCalls calls = FileSystemCalls::Real();
  calls.write = [chunk, count = 0](int fd, const void* data, size_t size) mutable -> ssize_t {
    if (++count % 3 == 0) {
      errno = EINTR;
      return -1;
    }
    return ::write(fd, data, std::min(size, chunk));
  };
  return calls;
}

// Write calls that fail with `error` once `allowed` bytes have gone through.
FileSystemCalls WritesFailingAfter(std::size_t allowed, int error) {
  FileSystemCalls calls = FileSystemCalls::Real();
  calls.write = [allowed, error, done = std::size_t{0}](int fd, const void* data,
                                                        size_t size) mutable -> ssize_t {
    if (done >= allowed) {
      errno = error;
      return -1;
    }
    const ssize_t written = ::write(fd, data, std::min(size, allowed - done));
    if (written > 0) done += static_cast<std::size_t>(written);
    return written;
  };
  return calls;
}

TEST_F(FileServicesTest, WriteBytesToFileResumesPartialAndInterruptedWrites) {
  ScopedFileSystemCalls choppy(ChoppyWrites(2));
  const fs::path file = dir_ / "out.htm";
  EXPECT_TRUE(WriteBytesToFile(file.string(), {"<html>", "\xd6\xd0\xce\xc4", "</html>"}));
  EXPECT_TRUE(SameBytes("<html>\xd6\xd0\xce\xc4</html>", ReadFile(file)));
}

TEST_F(FileServicesTest, WriteBytesToFileStopsAtAFailedWriteAndKeepsWhatWasWritten) {
  ScopedFileSystemCalls full_disk(WritesFailingAfter(5, ENOSPC));
  const fs::path file = dir_ / "out.htm";
  EXPECT_FALSE(WriteBytesToFile(file.string(), {"first", "second", "third"}));
  EXPECT_TRUE(SameBytes("first", ReadFile(file)));
}

TEST_F(FileServicesTest, WriteBytesToFileReportsAFailedClose) {
  FileSystemCalls calls = FileSystemCalls::Real();
  calls.close = [](int fd) {
    ::close(fd);
    errno = EIO;
    return -1;
  };
  ScopedFileSystemCalls failing_close(calls);
  EXPECT_FALSE(WriteBytesToFile((dir_ / "out.htm").string(), {"abc"}));
}

// ---- WriteNewTempFile ----------------------------------------------------------------------

TempNameSource SourceIn(const fs::path& dir) {
  TempNameSource source = TempNameSource::System();
  source.temp_dir = [dir] { return std::optional<std::string>(dir.string()); };
  return source;
}

TEST_F(FileServicesTest, WriteNewTempFileWritesExactBytesIntoAnOwnerOnlyFile) {
  const std::string bytes = "<html>\r\n\xd6\xd0</html>";
  const NewTempFile result = WriteNewTempFile(bytes, SourceIn(dir_));
  ASSERT_TRUE(result.written);
  EXPECT_EQ(fs::path(result.path).parent_path(), dir_);
  EXPECT_THAT(fs::path(result.path).filename().string(), MatchesRegex("[0-9a-f]+\\.tmp"));
  EXPECT_TRUE(SameBytes(bytes, ReadFile(result.path)));
  EXPECT_EQ(ModeOf(result.path), 0600u);
}

TEST_F(FileServicesTest, WriteNewTempFileNeverFollowsALinkPlantedAfterTheNameWasTested) {
  const fs::path victim = dir_ / "victim";
  PutFile(victim, "precious");
  ::chmod(victim.c_str(), 0644);
  // Another user wins the race: right after the first free-name test a link appears there.
  std::string planted;
  TempNameSource source = SourceIn(dir_);
  source.exists = [&planted, &victim, lstat_exists = source.exists](const std::string& path) {
    if (lstat_exists(path)) return true;
    if (planted.empty()) {
      planted = path;
      fs::create_symlink(victim, path);
    }
    return false;
  };

  const NewTempFile result = WriteNewTempFile("<p>preview</p>", source);

  ASSERT_FALSE(planted.empty());
  ASSERT_TRUE(result.written);
  EXPECT_NE(result.path, planted);
  EXPECT_TRUE(SameBytes("precious", ReadFile(victim)));
  EXPECT_EQ(ModeOf(victim), 0644u);
  EXPECT_EQ(fs::read_symlink(planted), victim)
      << "the planted link is neither followed nor replaced";
  EXPECT_TRUE(SameBytes("<p>preview</p>", ReadFile(result.path)));
}

TEST_F(FileServicesTest, WriteNewTempFileInAMissingFolderGivesNoPath) {
  const NewTempFile result = WriteNewTempFile("abc", SourceIn(dir_ / "missing"));
  EXPECT_TRUE(result.path.empty());
  EXPECT_FALSE(result.written);
}

TEST_F(FileServicesTest, WriteNewTempFileKeepsPathAndPartialFileWhenTheWriteFails) {
  ScopedFileSystemCalls full_disk(WritesFailingAfter(3, ENOSPC));
  const NewTempFile result = WriteNewTempFile("abcdef", SourceIn(dir_));
  ASSERT_FALSE(result.path.empty());
  EXPECT_FALSE(result.written);
  EXPECT_TRUE(SameBytes("abc", ReadFile(result.path)));
}

// ---- ReplaceFileContents -------------------------------------------------------------------

const std::string kNewBytes = std::string("<html>\r\n\xd6\xd0\xce\xc4\0end", 17);

TEST_F(FileServicesTest, ReplaceFileContentsLeavesExactlyTheNewBytes) {
  const struct {
    const char* what;
    std::optional<std::string> old_content;
  } cases[] = {{"new file", std::nullopt},
               {"shorter old file", "x"},
               {"longer old file", std::string(1000, 'o')}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const fs::path file = dir_ / "page.htm";
    fs::remove(file);
    if (c.old_content) PutFile(file, *c.old_content);
    const SaveResult result = ReplaceFileContents(file.string(), kNewBytes);
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_TRUE(SameBytes(kNewBytes, ReadFile(file)));
    EXPECT_EQ(Entries(), std::set<std::string>{"page.htm"}) << "no temporary file is left";
  }
}

TEST_F(FileServicesTest, ReplaceFileContentsWithEmptyBytesGivesAnEmptyFile) {
  const fs::path file = dir_ / "page.htm";
  PutFile(file, "old");
  ASSERT_TRUE(ReplaceFileContents(file.string(), "").ok);
  EXPECT_TRUE(SameBytes("", ReadFile(file)));
}

TEST_F(FileServicesTest, ReplaceFileContentsGivesANewFileTheUmaskPermissions) {
  const fs::path file = dir_ / "page.htm";
  ASSERT_TRUE(ReplaceFileContents(file.string(), "x").ok);
  EXPECT_EQ(ModeOf(file), 0644u);
}

TEST_F(FileServicesTest, ReplaceFileContentsKeepsThePermissionBits) {
  for (mode_t mode : {0600u, 0640u, 0604u, 0777u, 0200u}) {
    SCOPED_TRACE(mode);
    const fs::path file = dir_ / "page.htm";
    PutFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), mode), 0);
    const SaveResult result = ReplaceFileContents(file.string(), "new");
    ASSERT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(ModeOf(file), mode);
  }
}

TEST_F(FileServicesTest, ReplaceFileContentsKeepsOwnerAndGroupWhenRunAsRoot) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const fs::path file = dir_ / "page.htm";
  PutFile(file, "old");
  ASSERT_EQ(::chown(file.c_str(), 65534, 65534), 0);
  ASSERT_TRUE(ReplaceFileContents(file.string(), "new").ok);
  struct stat status {};
  ASSERT_EQ(::stat(file.c_str(), &status), 0);
  EXPECT_EQ(status.st_uid, 65534u);
  EXPECT_EQ(status.st_gid, 65534u);
}

TEST_F(FileServicesTest, ReplaceFileContentsThroughALinkChainReplacesTheFileAtItsEnd) {
  fs::create_directory(dir_ / "real");
  PutFile(dir_ / "real" / "page.htm", "old");
  fs::create_symlink("real/page.htm", dir_ / "inner");  // relative to the link's folder
  fs::create_symlink(dir_ / "inner", dir_ / "outer");

  const SaveResult result = ReplaceFileContents((dir_ / "outer").string(), kNewBytes);

  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_EQ(fs::read_symlink(dir_ / "outer"), dir_ / "inner");
  EXPECT_EQ(fs::read_symlink(dir_ / "inner"), "real/page.htm");
  EXPECT_TRUE(SameBytes(kNewBytes, ReadFile(dir_ / "real" / "page.htm")));
  EXPECT_EQ(Entries(), (std::set<std::string>{"inner", "outer", "real"}));
}

TEST_F(FileServicesTest, ReplaceFileContentsThroughADanglingLinkCreatesTheFileItNames) {
  fs::create_symlink("target.htm", dir_ / "link.htm");
  const SaveResult result = ReplaceFileContents((dir_ / "link.htm").string(), "made");
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.htm"));
  EXPECT_TRUE(SameBytes("made", ReadFile(dir_ / "target.htm")));
}

TEST_F(FileServicesTest, ReplaceFileContentsRefusesAReadOnlyFileEvenForRoot) {
  const fs::path file = dir_ / "page.htm";
  PutFile(file, "keep me");
  ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
  const SaveResult result = ReplaceFileContents(file.string(), "new");
  EXPECT_FALSE(result.ok);
  EXPECT_THAT(result.reason, HasSubstr("read-only"));
  EXPECT_TRUE(SameBytes("keep me", ReadFile(file)));
  EXPECT_EQ(ModeOf(file), 0444u);
  EXPECT_EQ(Entries(), std::set<std::string>{"page.htm"});
}

TEST_F(FileServicesTest, ReplaceFileContentsRefusesWhatIsNotAWritableFilePath) {
  fs::create_directory(dir_ / "folder");
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0644), 0);
  fs::create_symlink("loop-b", dir_ / "loop-a");
  fs::create_symlink("loop-a", dir_ / "loop-b");
  const std::set<std::string> before = Entries();

  const struct {
    std::string path;
    std::string reason_part;
  } cases[] = {
      {"", "no file name"},
      {(dir_ / "folder").string(), "folder"},
      {(dir_ / "folder").string() + "/", "folder"},
      {(dir_ / "pipe").string(), "not a regular file"},
      {(dir_ / "missing" / "page.htm").string(), "No such file or directory"},
      {(dir_ / "loop-a").string(), "Too many levels of symbolic links"},
      {std::string("page\0.htm", 9), "zero byte"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const SaveResult result = ReplaceFileContents(c.path, "new");
    EXPECT_FALSE(result.ok);
    EXPECT_THAT(result.reason, HasSubstr(c.reason_part));
  }
  EXPECT_EQ(Entries(), before);
  EXPECT_TRUE(fs::is_directory(dir_ / "folder"));
  EXPECT_TRUE(fs::is_fifo(dir_ / "pipe"));
}

TEST_F(FileServicesTest, ReplaceFileContentsResumesPartialAndInterruptedWrites) {
  ScopedFileSystemCalls choppy(ChoppyWrites(3));
  const fs::path file = dir_ / "page.htm";
  PutFile(file, "old");
  ASSERT_TRUE(ReplaceFileContents(file.string(), kNewBytes).ok);
  EXPECT_TRUE(SameBytes(kNewBytes, ReadFile(file)));
}

// A failure at any step of a save must leave the old file as it was and no temporary file.
TEST_F(FileServicesTest, ReplaceFileContentsFailingAtAnyStepLeavesTheOldFileAndNoTemporary) {
  auto failing = [](auto setter) {
    FileSystemCalls calls = FileSystemCalls::Real();
    setter(calls);
    return calls;
  };
  const struct {
    const char* step;
    FileSystemCalls calls;
    std::string reason_part;
  } cases[] = {
      {"write (full disk)", WritesFailingAfter(4, ENOSPC), "No space left on device"},
      {"fsync", failing([](FileSystemCalls& c) {
         c.fsync = [](int) {
           errno = EIO;
           return -1;
         };
       }),
       "Input/output error"},
      {"fchmod", failing([](FileSystemCalls& c) {
         c.fchmod = [](int, mode_t) {
           errno = EPERM;
           return -1;
         };
       }),
       "Operation not permitted"},
      {"close", failing([](FileSystemCalls& c) {
         c.close = [](int fd) {
           ::close(fd);
           errno = EDQUOT;
           return -1;
         };
       }),
       "Disk quota exceeded"},
      {"rename", failing([](FileSystemCalls& c) {
         c.rename = [](const char*, const char*) {
           errno = EXDEV;
           return -1;
         };
       }),
       "Invalid cross-device link"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.step);
    const fs::path file = dir_ / "page.htm";
    PutFile(file, "the old content");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    SaveResult result;
    {
      ScopedFileSystemCalls injected(c.calls);
      result = ReplaceFileContents(file.string(), kNewBytes);
    }
    EXPECT_FALSE(result.ok);
    EXPECT_THAT(result.reason, HasSubstr(c.reason_part));
    EXPECT_TRUE(SameBytes("the old content", ReadFile(file)));
    EXPECT_EQ(ModeOf(file), 0640u);
    EXPECT_EQ(Entries(), std::set<std::string>{"page.htm"});
  }
}

TEST_F(FileServicesTest, ReplaceFileContentsFailingForANewFileCreatesNothing) {
  ScopedFileSystemCalls full_disk(WritesFailingAfter(0, ENOSPC));
  const SaveResult result = ReplaceFileContents((dir_ / "page.htm").string(), kNewBytes);
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(Entries().empty());
}

TEST_F(FileServicesTest, ReplaceFileContentsFitsTheTemporaryNameBesideAVeryLongName) {
  const fs::path file = dir_ / (std::string(250, 'n') + ".htm");  // 254 bytes, near the limit
  PutFile(file, "old");
  const SaveResult result = ReplaceFileContents(file.string(), "new");
  ASSERT_TRUE(result.ok) << result.reason;
  EXPECT_TRUE(SameBytes("new", ReadFile(file)));
}

}  // namespace
}  // namespace ostrivel
