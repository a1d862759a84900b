#include "editor/load_document.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace ostrivel {
namespace {

using ::testing::IsEmpty;
using ostrivel::testing::ScratchDir;

constexpr ConverterDirection kImport = ConverterDirection::Import;
constexpr ConverterDirection kExport = ConverterDirection::Export;

TEST(DocumentExtensionTest, IsTheLowerCasedTextAfterTheLastDotOfTheWholePath) {
  const struct {
    std::string path, extension;
  } cases[] = {
      {"/docs/page.htm", "htm"},
      {"/docs/NOTES.RTF", "rtf"},
      {"/docs/archive.tar.GZ", "gz"},
      {"/docs/dir.v2/page", "v2/page"},  // a dotted folder and a name without extension
      {"/docs/page", ""},
      {"/docs/page.", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(DocumentExtension(c.path), c.extension) << c.path;
}

// Stands in for the converter libraries: records which converters were asked, accepts and
// converts as told.
class FakeConverters {
 public:
  std::set<std::string> accepting;
  std::set<std::string> failing;
  std::vector<std::string> asked;

  ConverterRunner Runner() {
    return {
        .accepts =
            [this](const std::string& converter, const std::string&) {
              asked.push_back(converter);
              return accepting.contains(converter);
            },
        .convert = [this](const std::string& converter,
                          const std::string&) -> std::optional<std::string> {
          if (failing.contains(converter)) return std::nullopt;
          return "{\\rtf1 by " + converter + "}";
        },
    };
  }
};

const std::vector<TextConverter> kConverters = {
    {"A", "htm html rtf txt", "a", kImport},
    {"E", "htm", "e", kExport},
    {"B", "doc htm", "b", kImport},
};

TEST(LoadDocumentTest, ChoosesTheConverterByIndexOrByExtension) {
  ScratchDir scratch;
  const std::string content = "<p>bytes of the file</p>";
  const struct {
    std::string what;
    std::string file;
    int converter_index;
    std::set<std::string> accepting;
    std::set<std::string> failing;
    LoadResult result;
    std::string buffer;  // "raw": the file's bytes
    std::vector<std::string> asked;
  } cases[] = {
      {"no converter accepts", "page.htm", -1, {}, {}, LoadResult::PlainText, "raw", {"a", "b"}},
      {"extension in capitals", "page.HTM", -1, {"b"}, {}, LoadResult::Rtf, "{\\rtf1 by b}",
       {"a", "b"}},
      {"first that accepts wins", "page.htm", -1, {"a", "b"}, {}, LoadResult::Rtf,
       "{\\rtf1 by a}", {"a"}},
      {"doc only in b", "page.doc", -1, {"a", "b"}, {}, LoadResult::Rtf, "{\\rtf1 by b}", {"b"}},
      {"txt never walked", "page.txt", -1, {"a"}, {}, LoadResult::PlainText, "raw", {}},
      {"rtf never walked", "page.RTF", -1, {"a"}, {}, LoadResult::Rtf, "raw", {}},
      {"chosen filter converts rtf", "page.rtf", 0, {"a"}, {}, LoadResult::Rtf, "{\\rtf1 by a}",
       {"a"}},
      {"chosen converter refuses", "page.txt", 0, {}, {}, LoadResult::PlainText, "raw", {"a"}},
      {"refusal then walk", "page.htm", 2, {"a"}, {}, LoadResult::Rtf, "{\\rtf1 by a}",
       {"b", "a"}},
      {"chosen regardless of extension", "page.xyz", 2, {"b"}, {}, LoadResult::Rtf,
       "{\\rtf1 by b}", {"b"}},
      {"index out of range", "page.htm", 7, {}, {}, LoadResult::PlainText, "raw", {"a", "b"}},
      {"dotted folder", "dir.htm/page", -1, {"a", "b"}, {}, LoadResult::PlainText, "raw", {}},
      {"no extension", "page", -1, {"a", "b"}, {}, LoadResult::PlainText, "raw", {}},
      {"conversion fails", "page.htm", -1, {"a"}, {"a"}, LoadResult::Nothing, "", {"a"}},
  };
  for (const auto& c : cases) {
    const std::string path = scratch.WriteFile(c.file, content);
    FakeConverters fake{c.accepting, c.failing, {}};
    std::string buffer = "left over";
    EXPECT_EQ(LoadDocument(buffer, path, c.converter_index, kConverters, fake.Runner()),
              c.result)
        << c.what;
    EXPECT_EQ(buffer, c.buffer == "raw" ? content : c.buffer) << c.what;
    EXPECT_EQ(fake.asked, c.asked) << c.what;
  }
}

TEST(LoadDocumentTest, LoadsNothingFromAnEmptyOrUnreadableFile) {
  ScratchDir scratch;
  FakeConverters fake;
  const std::string cases[] = {
      scratch.WriteFile("empty.txt", ""),
      scratch.WriteFile("empty.rtf", ""),
      scratch.WriteFile("empty.htm", ""),
      scratch.path() + "/absent.txt",
      scratch.Folder("folder.txt"),
      "",
  };
  for (const auto& path : cases) {
    std::string buffer = "left over";
    EXPECT_EQ(LoadDocument(buffer, path, -1, {}, fake.Runner()), LoadResult::Nothing) << path;
    EXPECT_THAT(buffer, IsEmpty()) << path;
  }
}

TEST(LoadDocumentTest, ReadsALargeFileWhole) {
  ScratchDir scratch;
  std::string content(10 * 1024 * 1024 + 7, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 131 % 251);
  const std::string path = scratch.WriteFile("big.htm", content);
  std::string buffer;
  EXPECT_EQ(LoadDocument(buffer, path, -1, {}), LoadResult::PlainText);
  EXPECT_TRUE(buffer == content) << "read " << buffer.size() << " of " << content.size();
}

// The real converter libraries of the test suite, through the system runner.
TEST(LoadDocumentTest, ConvertsThroughInstalledConverterLibraries) {
  ScratchDir scratch;
  const std::string dir = OSTRIVEL_TEST_CONVERTER_DIR;
  const std::vector<TextConverter> converters = {
      {"Refuse", "lines", dir + "/refuse.cnv", kImport},
      {"Lines", "txt lines", dir + "/lines.cnv", kImport},
      {"Fail", "broken", dir + "/fail.cnv", kImport},
  };
  const std::string lines = "OSTRIVEL-LINES\nhello\n";
  const std::string lines_rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0\nhello\\par\n}";
  const struct {
    std::string what, file, bytes;
    int converter_index;
    LoadResult result;
    std::string buffer;
  } cases[] = {
      {"walk passes the refusing one", "a.lines", lines, -1, LoadResult::Rtf, lines_rtf},
      {"chosen filter on a .txt", "a.txt", lines, 1, LoadResult::Rtf, lines_rtf},
      {"not in the format", "b.lines", "hello\n", -1, LoadResult::PlainText, "hello\n"},
      {"empty and refused", "c.lines", "", -1, LoadResult::Nothing, ""},
      {"conversion fails", "d.broken", "data", -1, LoadResult::Nothing, ""},
  };
  for (const auto& c : cases) {
    std::string buffer;
    EXPECT_EQ(LoadDocument(buffer, scratch.WriteFile(c.file, c.bytes), c.converter_index,
                           converters),
              c.result)
        << c.what;
    EXPECT_EQ(buffer, c.buffer) << c.what;
  }
}

}  // namespace
}  // namespace ostrivel
