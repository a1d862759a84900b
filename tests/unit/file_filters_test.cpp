#include "editor/file_filters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ostrivel {

// Byte-exact output for failures: labels are code page 936 bytes.
static void PrintTo(const FileFilter& filter, std::ostream* out) {
  *out << "{" << ::testing::PrintToString(filter.label) << ", "
       << ::testing::PrintToString(filter.patterns) << "}";
}

namespace {

using ::testing::ElementsAre;

constexpr ConverterDirection kImport = ConverterDirection::Import;
constexpr ConverterDirection kExport = ConverterDirection::Export;

// Labels as code page 936 bytes.
const std::string kRtfFiles = "RTF\xce\xc4\xbc\xfe (*.rtf)";             // RTF文件 (*.rtf)
// 文本文档 (*.txt)
const std::string kTextDocuments = "\xce\xc4\xb1\xbe\xce\xc4\xb5\xb5 (*.txt)";
const std::string kAllFiles = "\xcb\xf9\xd3\xd0\xce\xc4\xbc\xfe (*.*)";  // 所有文件 (*.*)
const std::string kHtmlDocument = "HTML \xce\xc4\xb5\xb5";                // HTML 文档

TEST(ParseFilterStringTest, SplitsPairsUntilTheFirstEmptyOrIncompleteOne) {
  const std::string save_filter = kHtmlDocument + "(*.htm;*.html;*.htx)|*.htm;*.html;*.htx";
  const std::string split_char = "\xb1\x7c";  // a two-byte character whose second byte is "|"
  const struct {
    std::string filter;
    std::vector<FileFilter> pairs;
  } cases[] = {
      {save_filter, {{kHtmlDocument + "(*.htm;*.html;*.htx)", "*.htm;*.html;*.htx"}}},
      {"", {}},
      {" \t\r\n", {}},
      {"A|*.a|B|*.b \t\r\n", {{"A", "*.a"}, {"B", "*.b"}}},
      {"A|*.a||", {{"A", "*.a"}}},
      {"A|*.a|", {{"A", "*.a"}}},
      {"A|*.a|B", {{"A", "*.a"}}},
      {"A|*.a||B|*.b", {{"A", "*.a"}}},
      {"|*.a|B|*.b", {}},
      {"A| *.a ", {{"A", " *.a"}}},
      {split_char + "|*.a", {{split_char, "*.a"}}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseFilterString(c.filter), c.pairs) << c.filter;
}

TEST(BuildOpenFiltersTest, WithoutConvertersOffersRtfTextAndAllFiles) {
  const OpenFilterList list = BuildOpenFilters({});
  EXPECT_THAT(list.filters, ElementsAre(FileFilter{kRtfFiles, "*.rtf"},
                                        FileFilter{kTextDocuments, "*.txt"},
                                        FileFilter{kAllFiles, "*.*"}));
  EXPECT_THAT(list.converter_index, ElementsAre(-1, -1, -1));
}

TEST(BuildOpenFiltersTest, PutsImportConvertersBetweenRtfAndTextWithTheirListIndex) {
  const std::vector<TextConverter> converters = {
      {"Export only", "htm", "/c/x.cnv", kExport},
      {kHtmlDocument, "html htm htx asp", "/c/html32.cnv", kImport},
      {kHtmlDocument, "html htm htx", "/c/html32.cnv", kExport},
      {"Word 97", "doc", "/c/mswrd832.cnv", kImport},
  };
  const OpenFilterList list = BuildOpenFilters(converters);
  EXPECT_THAT(list.filters,
              ElementsAre(FileFilter{kRtfFiles, "*.rtf"},
                          FileFilter{kHtmlDocument + " (*.html;*.htm;*.htx;*.asp)",
                                     "*.html;*.htm;*.htx;*.asp"},
                          FileFilter{"Word 97 (*.doc)", "*.doc"},
                          FileFilter{kTextDocuments, "*.txt"}, FileFilter{kAllFiles, "*.*"}));
  EXPECT_THAT(list.converter_index, ElementsAre(-1, 1, 3, -1, -1));
}

TEST(SplitPatternsTest, GivesEachNonEmptyPatternTrimmed) {
  const struct {
    std::string patterns;
    std::vector<std::string> split;
  } cases[] = {
      {"*.htm;*.html;*.htx", {"*.htm", "*.html", "*.htx"}},
      {"*.*", {"*.*"}},
      {" *.a ; ;*.b;", {"*.a", "*.b"}},
      {"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(SplitPatterns(c.patterns), c.split) << c.patterns;
}

TEST(AddDefaultExtensionTest, CompletesOnlyANameWithoutExtension) {
  const struct {
    std::string typed, extension, completed;
  } cases[] = {
      {"/docs/page", "htm", "/docs/page.htm"},
      {"/docs/page.html", "htm", "/docs/page.html"},
      {"/docs/dir.v2/page", "htm", "/docs/dir.v2/page.htm"},
      {"/docs/page.", "htm", "/docs/page."},  // a trailing "." asks for no extension
      {"page", "rtf", "page.rtf"},
      {"/docs/page", "", "/docs/page"},
      {"/docs/", "htm", "/docs/"},
      {"", "htm", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AddDefaultExtension(c.typed, c.extension), c.completed) << c.typed;
  }
}

}  // namespace
}  // namespace ostrivel
