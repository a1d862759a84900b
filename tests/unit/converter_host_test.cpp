#include "editor/converter_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "scratch_dir.h"

namespace ostrivel {
namespace {

using ostrivel::testing::ScratchDir;

std::string TestConverter(const std::string& name) {
  return std::string(OSTRIVEL_TEST_CONVERTER_DIR) + "/" + name + ".cnv";
}

// What many.cnv produces for a document holding `line_count`.
std::string ManyConverterRtf(int line_count) {
  std::string rtf = "{\\rtf1\\ansi\n";
  char line[16];
  for (int i = 0; i < line_count; ++i) {
    std::snprintf(line, sizeof line, "%07d", i);
    rtf += line;
    rtf += "\\par\n";
  }
  return rtf + "}";
}

class ConverterHostTest : public ::testing::Test {
 protected:
  std::string Document(const std::string& bytes, const std::string& name = "document") {
    return scratch_.WriteFile(name, bytes);
  }
  ScratchDir scratch_;
};

TEST_F(ConverterHostTest, LinesConverterGivesExactRtf) {
  const std::string document =
      Document("OSTRIVEL-LINES\r\nplain {x} a\\b\r\n\xd6\xd0\xce\xc4\nlast");  // 中文 in GBK
  EXPECT_EQ(ConvertToRtf(TestConverter("lines"), document),
            "{\\rtf1\\ansi\\ansicpg936\\deff0\n"
            "plain \\{x\\} a\\\\b\\par\n"
            "\\'d6\\'d0\\'ce\\'c4\\par\n"
            "last\\par\n"
            "}");
}

TEST_F(ConverterHostTest, OnlyTheAnswerOneMeansTheConverterReadsTheFile) {
  const std::string not_a_library = Document("not a shared library", "fake.cnv");
  const struct {
    std::string converter;
    std::string document_bytes;
    bool accepted;
  } cases[] = {
      {TestConverter("lines"), "OSTRIVEL-LINES\nhello\n", true},
      {TestConverter("lines"), "hello\n", false},
      {TestConverter("refuse"), "OSTRIVEL-LINES\n", false},
      {TestConverter("probe"), "answer 1", true},  // also: the class-name block came zeroed
      {TestConverter("probe"), "answer 0", false},
      {TestConverter("probe"), "answer 2", false},
      {TestConverter("probe"), "answer -1", false},
      {TestConverter("noentry"), "OSTRIVEL-LINES\n", false},
      {TestConverter("absent"), "OSTRIVEL-LINES\n", false},
      {not_a_library, "OSTRIVEL-LINES\n", false},
      {"", "OSTRIVEL-LINES\n", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConverterAcceptsFile(c.converter, Document(c.document_bytes)), c.accepted)
        << c.converter << " with " << c.document_bytes;
  }
}

TEST_F(ConverterHostTest, ABareConverterNameIsLookedForInTheCurrentFolderOnly) {
  const std::string document = Document("OSTRIVEL-LINES\n");
  const auto old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(OSTRIVEL_TEST_CONVERTER_DIR);
  const bool accepted = ConverterAcceptsFile("lines.cnv", document);
  std::filesystem::current_path(scratch_.path());
  const bool accepted_elsewhere = ConverterAcceptsFile("lines.cnv", document);
  std::filesystem::current_path(old_cwd);
  EXPECT_TRUE(accepted);
  EXPECT_FALSE(accepted_elsewhere);
}

TEST_F(ConverterHostTest, TakesALongDocumentInOddSizedBlocksWhole) {
  constexpr int kLines = 100000;  // 12 bytes a line: far more than one transfer area
  const auto rtf = ConvertToRtf(TestConverter("many"), Document(std::to_string(kLines)));
  ASSERT_TRUE(rtf.has_value());
  ASSERT_GT(rtf->size(), 8 * kConverterTransferSize);
  EXPECT_EQ(*rtf, ManyConverterRtf(kLines));
}

TEST_F(ConverterHostTest, InitialisesTheConverterWithWindowAndApplicationName) {
  const auto rtf = ConvertToRtf(TestConverter("probe"), Document("init"),
                                reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(rtf, "{\\rtf1 app=OSTRIVEL window=0x1234 args=ok}");
}

TEST_F(ConverterHostTest, AnswersTheOutputCallbackAndFailsOnImpossibleCounts) {
  const struct {
    std::string command;
    std::optional<std::string> rtf;
  } cases[] = {
      {"count 0", "answer=0"},
      {"count 1", "x" "answer=0"},
      {"count 4096", std::string(4096, 'x') + "answer=0"},
      {"count 4097", std::nullopt},
      {"count -1", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertToRtf(TestConverter("probe"), Document(c.command)), c.rtf) << c.command;
  }
}

TEST_F(ConverterHostTest, FailsWhenTheConverterOrTheDocumentCannotBeUsed) {
  const std::string lines_document = Document("OSTRIVEL-LINES\nhello\n", "good.lines");
  const std::string not_a_library = Document("not a shared library", "fake.cnv");
  const struct {
    std::string what, converter, document;
  } cases[] = {
      {"converter reports failure midway", TestConverter("fail"), lines_document},
      {"converter library missing", TestConverter("absent"), lines_document},
      {"converter file not a library", not_a_library, lines_document},
      {"library without entry points", TestConverter("noentry"), lines_document},
      {"document missing", TestConverter("lines"), scratch_.path() + "/absent.lines"},
      {"document is a folder", TestConverter("lines"), scratch_.Folder("folder.lines")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConvertToRtf(c.converter, c.document), std::nullopt) << c.what;
  }
}

TEST_F(ConverterHostTest, AnEmptyDocumentGivesAnEmptyRtfStreamWithoutConverting) {
  // Both converters would fail on an empty document if they were run.
  for (const char* converter : {"lines", "fail"}) {
    EXPECT_EQ(ConvertToRtf(TestConverter(converter), Document("")), "") << converter;
  }
}

}  // namespace
}  // namespace ostrivel
