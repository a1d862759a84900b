#include "editor/rtf_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivel {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// Every input byte yields at most one four-byte UTF-8 character.
constexpr std::size_t kMaxOutputPerInputByte = 4;

std::string Text(std::string_view rtf) { return ReadRtf(rtf).PlainText(); }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<fs::path> FilesIn(const fs::path& dir, std::string_view extension = "") {
  std::vector<fs::path> files;
  if (!fs::is_directory(dir)) return files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.is_regular_file() &&
        (extension.empty() || entry.path().extension() == extension)) {
      files.push_back(entry.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

const fs::path kSharedRtfDir = fs::path(OSTRIVEL_SHARED_CORPUS_DIR) / "rtf";

std::vector<fs::path> SharedRtfFiles() { return FilesIn(kSharedRtfDir, ".rtf"); }

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead >= 0x80 && (lead < 0xC2 || lead > 0xF4)) return false;
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    }
    i += length;
  }
  return true;
}

// What the editor relies on for any input, however broken: returns the first broken
// promise, or an empty string.
std::string BrokenPromise(const RtfDocument& document, std::size_t input_size) {
  std::size_t total = 0;
  for (std::size_t i = 0; i < document.runs.size(); ++i) {
    const RtfRun& run = document.runs[i];
    if (run.text.empty()) return "empty run " + std::to_string(i);
    if (i > 0 && document.runs[i - 1].format == run.format) {
      return "runs " + std::to_string(i - 1) + " and " + std::to_string(i) + " share a format";
    }
    if (!IsValidUtf8(run.text)) return "invalid UTF-8 in run " + std::to_string(i);
    if (run.text.find_first_of("\r\0"s) != std::string::npos) return "CR or NUL in text";
    total += run.text.size();
  }
  if (total > kMaxOutputPerInputByte * input_size) {
    return std::to_string(total) + " bytes of text from " + std::to_string(input_size);
  }
  return {};
}

void ExpectSound(std::string_view input, const std::string& context) {
  EXPECT_EQ(BrokenPromise(ReadRtf(input), input.size()), "") << context;
}

const RtfRun* RunContaining(const RtfDocument& document, std::string_view text) {
  for (const RtfRun& run : document.runs) {
    if (run.text.find(text) != std::string::npos) return &run;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------------
// Text

struct TextCase {
  const char* what;
  std::string rtf;
  std::string expected;
};

void ExpectTexts(const std::vector<TextCase>& cases) {
  for (const TextCase& c : cases) {
    EXPECT_EQ(Text(c.rtf), c.expected) << c.what << ": " << c.rtf;
  }
}

TEST(RtfReaderText, ControlWordDelimitersFollowTheRtfRules) {
  ExpectTexts({
      {"plain text", R"({\rtf1 Hello})", "Hello"},
      {"one delimiting space is eaten", R"({\rtf1\b  two})", " two"},
      {"a parameter ends at a non-digit", R"({\rtf1\fs20x})", "x"},
      {"negative parameter", R"({\rtf1\li-360 x})", "x"},
      {"a lone minus is text", R"({\rtf1\b-x})", "-x"},
      {"a word ends at a backslash", R"({\rtf1\b\i x})", "x"},
      {"line ends in the source are not text", "{\\rtf1 a\r\nb\nc\rd}", "abcd"},
      {"backslash before a line end is a paragraph", "{\\rtf1 a\\\r\nb}", "a\nb"},
      {"an over-long control word is ignored", "{\\rtf1\\" + std::string(100, 'q') + " x}", "x"},
  });
}

TEST(RtfReaderText, ControlSymbolsAndNamedCharacters) {
  ExpectTexts({
      {"escaped braces and backslash", R"({\rtf1 \{\}\\})", "{}\\"},
      {"non-breaking space", R"({\rtf1 a\~b})", "a\u00A0b"},
      {"non-breaking hyphen", R"({\rtf1 a\_b})", "a\u2011b"},
      {"optional hyphen and formula symbols vanish", R"({\rtf1 a\-b\|c\:d})", "abcd"},
      {"breaks", R"({\rtf1 a\par b\line c\page d\sect e\tab f})", "a\nb\nc\nd\ne\tf"},
      {"dashes and bullet", R"({\rtf1\emdash\endash\bullet})", "\u2014\u2013\u2022"},
      {"quotes", R"({\rtf1\lquote\rquote\ldblquote\rdblquote})", "\u2018\u2019\u201C\u201D"},
      {"spaces", R"({\rtf1\enspace\emspace})", "\u2002\u2003"},
      {"\\'hh in the default code page 1252", R"({\rtf1 caf\'e9 \'93q\'94})",
       "caf\u00E9 \u201Cq\u201D"},
      {"\\'0d and \\'0a are line breaks, a pair is one", R"({\rtf1 a\'0db\'0ac\'0d\'0ad})",
       "a\nb\nc\nd"},
      {"broken hex escapes are dropped", R"({\rtf1 a\'zzb\'4})", "azzb"},
  });
}

TEST(RtfReaderText, UnicodeEscapesSkipTheirFallback) {
  ExpectTexts({
      {"one fallback character by default", R"({\rtf1 \u20320?x})", "\u4F60x"},
      {"\\uc2 skips two \\'hh", R"({\rtf1\uc2\u20320\'c4\'e3x})", "\u4F60x"},
      {"\\uc0 skips nothing", R"({\rtf1\uc0\u20320 x})", "\u4F60x"},
      {"a control word counts as one fallback", R"({\rtf1\u20320\par x})", "\u4F60x"},
      {"\\uc is scoped to its group", R"({\rtf1{\uc2\u20320 ab}\u22909?c})", "\u4F60\u597Dc"},
      {"fallback ends at a brace", R"({\rtf1{\uc3\u20320}x})", "\u4F60x"},
      {"negative values are N + 65536", R"({\rtf1\u-3913?})", "\uF0B7"},
      {"surrogate pair", R"({\rtf1\u-10179?\u-8704?})", "\U0001F600"},
      {"lone high surrogate", R"({\rtf1\u-10179?x})", "\uFFFDx"},
      {"lone low surrogate", R"({\rtf1\u-8704?x})", "\uFFFDx"},
      {"surrogate halves in skipped text leave no trace",
       R"({\rtf1{\*\x\u-10179?}a{\v\u-10179?}b})", "ab"},
      {"out of range", R"({\rtf1\u-999999999 ?x\u70000 ?y})", "\uFFFDx\uFFFDy"},
      {"control characters are not text", R"({\rtf1\uc0 a\u0 b\u13 c\u9 d})", "abc\td"},
  });
}

TEST(RtfReaderText, NonTextDestinationsAreSkipped) {
  ExpectTexts({
      {"unknown ignorable destination", R"({\rtf1{\*\unknown hidden}x})", "x"},
      {"tables and metadata",
       R"({\rtf1{\fonttbl{\f0 Arial;}}{\colortbl;\red1\green2\blue3;}{\stylesheet{\s0 Normal;}})"
       R"({\info{\title T}{\author A}}x})",
       "x"},
      {"headers, footers and footnotes",
       R"({\rtf1{\header h}{\footerl f}a{\footnote note}b})", "ab"},
      {"field: instruction skipped, result kept",
       R"({\rtf1{\field{\*\fldinst HYPERLINK "http://x"}{\fldrslt shown}}})", "shown"},
      {"field instruction without \\*", R"({\rtf1{\field{\fldinst PAGE}{\fldrslt 1}}})", "1"},
      {"bookmarks", R"({\rtf1{\*\bkmkstart b}kept{\*\bkmkend b}})", "kept"},
      {"picture with braces in \\bin data", "{\\rtf1{\\pict\\bin3 }}}x}after}", "after"},
      {"picture hex", R"({\rtf1{\*\shppict{\pict\pngblip 89504e47}}{\nonshppict{\pict 00}}x})",
       "x"},
      {"skipped content stays skipped inside", R"({\rtf1{\info{\fldrslt no}}x})", "x"},
      {"hidden text", R"({\rtf1 a{\v hidden}b\v c\v0 d})", "abd"},
      {"list fallback text is kept, numbering definitions are not",
       R"({\rtf1{\pntext 1.\tab}{\*\pn{\pntxta .}}A{\listtext\u8226 ?\tab}B})", "1.\tA\u2022\tB"},
      {"nested-table fallback", R"({\rtf1 a\nestcell{\nonesttables fallback}b})", "a\tb"},
  });
}

TEST(RtfReaderText, BinarySkipsRawBytesClampedToTheInput) {
  ExpectTexts({
      {"\\bin skips its bytes", R"({\rtf1 a\bin3 {}\b})", "ab"},
      {"\\bin without a count skips nothing", R"({\rtf1 a\bin b})", "ab"},
      {"\\bin past the end", R"({\rtf1 a\bin99999999999999 xyz})", "a"},
      {"negative \\bin", R"({\rtf1 a\bin-5 b})", "ab"},
  });
}

TEST(RtfReaderText, TableCellsAreTabSeparatedAndRowsEndLines) {
  ExpectTexts({
      {"two cells", R"({\rtf1\trowd a\cell b\cell\row})", "a\tb\n"},
      {"empty cells keep their places", R"({\rtf1\cell\cell x\cell\row y})", "\t\tx\ny"},
      {"nested cells", R"({\rtf1 a\nestcell b\nestcell{\*\nesttableprops\nestrow}})", "a\tb"},
  });
}

TEST(RtfReaderText, MalformedStructureKeepsReading) {
  ExpectTexts({
      {"no header", R"(plain \b text)", "plain text"},
      {"text around the document", R"(pre{\rtf1 in}post)", "preinpost"},
      {"extra closing braces", R"({\rtf1 a}}}b)", "ab"},
      {"unclosed groups", R"({\rtf1{{{a)", "a"},
      {"empty input", "", ""},
      {"NUL bytes", "{\\rtf1 a\0b\\'00c}"s, "abc"},
      {"trailing backslash", "{\\rtf1 a\\", "a"},
  });
}

// ---------------------------------------------------------------------------------------
// Formats

TEST(RtfReaderFormat, ToggleWordsMakeRunsOfTheirOwn) {
  const RtfDocument document = ReadRtf(
      R"({\rtf1 a\b b\i c\b0\i0\ul d\ulnone\strike e\strike0\ul f\ul0\protect g\protect0 h})");
  struct Expected {
    std::string text;
    bool bold, italic, underline, strike, is_protected;
  };
  const std::vector<Expected> expected = {
      {"a", false, false, false, false, false}, {"b", true, false, false, false, false},
      {"c", true, true, false, false, false},    {"d", false, false, true, false, false},
      {"e", false, false, false, true, false},   {"f", false, false, true, false, false},
      {"g", false, false, false, false, true},   {"h", false, false, false, false, false},
  };
  ASSERT_EQ(document.runs.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const RtfCharFormat& format = document.runs[i].format;
    SCOPED_TRACE(expected[i].text);
    EXPECT_EQ(document.runs[i].text, expected[i].text);
    EXPECT_EQ(format.bold, expected[i].bold);
    EXPECT_EQ(format.italic, expected[i].italic);
    EXPECT_EQ(format.underline, expected[i].underline);
    EXPECT_EQ(format.strike, expected[i].strike);
    EXPECT_EQ(format.is_protected, expected[i].is_protected);
  }
}

TEST(RtfReaderFormat, GroupsAndPlainRestoreFormatting) {
  const RtfDocument document =
      ReadRtf(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Courier;}}\deff0{\b\f1\fs40 x}y\i\f1 z\plain w})");
  ASSERT_EQ(document.runs.size(), 4u);
  EXPECT_EQ(document.runs[0].format.font_family, "Courier");
  EXPECT_EQ(document.runs[0].format.size_half_points, 40);
  EXPECT_TRUE(document.runs[0].format.bold);
  EXPECT_EQ(document.runs[1].text, "y");
  RtfCharFormat arial;
  arial.font_family = "Arial";
  EXPECT_EQ(document.runs[1].format, arial);
  EXPECT_TRUE(document.runs[2].format.italic);
  EXPECT_EQ(document.runs[3].text, "w");
  EXPECT_EQ(document.runs[3].format, document.runs[1].format);
}

TEST(RtfReaderFormat, ColoursComeFromTheColourTableWithAutomaticEntries) {
  const RtfDocument document = ReadRtf(
      R"({\rtf1{\colortbl;\red255\green0\blue0;;\red0\green128\blue255;})"
      R"(\cf1 a\cf2 b\cf3 c\cf0 d\cf9 e\cf1\highlight3 f\highlight0\cb1 g\highlight3 h})");
  std::vector<std::pair<std::optional<std::uint32_t>, std::optional<std::uint32_t>>> colours;
  std::string texts;
  for (const RtfRun& run : document.runs) {
    texts += run.text + "|";
    colours.emplace_back(run.format.color, run.format.background);
  }
  // Runs of equal formats merge: b, d and e are all automatic.
  EXPECT_EQ(texts, "a|b|c|de|f|g|h|");
  const std::uint32_t red = 0x0000FF, sky = 0xFF8000;
  using C = std::optional<std::uint32_t>;
  EXPECT_EQ(colours, (std::vector<std::pair<C, C>>{{red, {}},
                                                   {{}, {}},
                                                   {sky, {}},
                                                   {{}, {}},
                                                   {red, sky},
                                                   {red, red},
                                                   {red, sky}}));
}

TEST(RtfReaderFormat, FontSizeIsClampedAndDefaults) {
  const RtfDocument document =
      ReadRtf(R"({\rtf1\fs99999999999999999999 a\fs-4 b\fs7 c\fs d})");
  ASSERT_EQ(document.runs.size(), 4u);
  EXPECT_EQ(document.runs[0].format.size_half_points, 3276);
  EXPECT_EQ(document.runs[1].format.size_half_points, 24);
  EXPECT_EQ(document.runs[2].format.size_half_points, 7);
  EXPECT_EQ(document.runs[3].format.size_half_points, 24);
}

TEST(RtfReaderFormat, TextOfEqualFormatsJoinsOneRun) {
  // Two fonts with one face name, a format switched on and off with no text, an empty group.
  const RtfDocument document =
      ReadRtf(R"({\rtf1{\fonttbl{\f0 Arial;}{\f1 Arial;}}\f0 a\f1 b\b\b0 c{\i}d})");
  ASSERT_EQ(document.runs.size(), 1u);
  EXPECT_EQ(document.runs[0].text, "abcd");
}

TEST(RtfReaderFormat, FontTableForms) {
  // Entries in their own groups, several in one group, names after nested groups and in \u.
  const RtfDocument document = ReadRtf(
      R"({\rtf1{\fonttbl{\f0\froman{\*\panose 0202}Times New Roman{\*\falt Times};})"
      R"({\f1 Helvetica;\f2 Courier;}{\f3\fnil {\uc1 \u23435 ?}{\uc1 \u20307 ?};}{\f4 Unended}})"
      R"(\f0 a\f1 b\f2 c\f3 d\f4 e\f9 f})");
  std::vector<std::string> families;
  for (const RtfRun& run : document.runs) families.push_back(run.format.font_family);
  EXPECT_EQ(families, (std::vector<std::string>{"Times New Roman", "Helvetica", "Courier",
                                                "\u5B8B\u4F53", "Unended", ""}));
}

// ---------------------------------------------------------------------------------------
// Code pages

TEST(RtfReaderCodePage, ChineseThroughCharset134) {
  const RtfDocument document = ReadRtf(
      R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fnil\fcharset134 \'cb\'ce\'cc\'e5;}})"
      R"(\f0 \'d6\'d0\'ce\'c4})");
  ASSERT_EQ(document.runs.size(), 1u);
  EXPECT_EQ(document.runs[0].text, "\u4E2D\u6587");
  EXPECT_EQ(document.runs[0].format.font_family, "\u5B8B\u4F53");
}

TEST(RtfReaderCodePage, BytesDecodeInTheCodePageOfTheirFont) {
  ExpectTexts({
      {"\\ansicpg936 without a font", R"({\rtf1\ansi\ansicpg936 \'d6\'d0\'ce\'c4})",
       "\u4E2D\u6587"},
      {"a two-byte character split across a word that changes nothing",
       R"({\rtf1\ansicpg936 \'d6\b0\'d0})", "\u4E2D"},
      {"a literal trail byte", "{\\rtf1\\ansicpg936 \\'81@}", "\u4E02"},
      {"\\fcharset0 is 1252 even in a 936 document, no charset is the document's",
       R"({\rtf1\ansicpg936{\fonttbl{\f0\fcharset0 Arial;}{\f1 SimSun;}}\f0\'e9\f1\'d6\'d0})",
       "\u00E9\u4E2D"},
      {"\\ansicpg0 is the system code page", R"({\rtf1\ansicpg0 \'d6\'d0})", "\u4E2D"},
      {"unknown \\ansicpg keeps 1252", R"({\rtf1\ansicpg65000 \'e9})", "\u00E9"},
      {"Shift-JIS", R"({\rtf1{\fonttbl{\f0\fcharset128 M;}}\f0\'82\'a0})", "\u3042"},
      {"Korean", R"({\rtf1{\fonttbl{\f0\fcharset129 M;}}\f0\'b0\'a1})", "\uAC00"},
      {"Big5", R"({\rtf1{\fonttbl{\f0\fcharset136 M;}}\f0\'a4\'a4})", "\u4E2D"},
      {"Cyrillic", R"({\rtf1{\fonttbl{\f0\fcharset204 M;}}\f0\'c0})", "\u0410"},
      {"Greek", R"({\rtf1{\fonttbl{\f0\fcharset161 M;}}\f0\'e1})", "\u03B1"},
      {"\\cpg overrides the charset", R"({\rtf1{\fonttbl{\f0\fcharset0\cpg1251 M;}}\f0\'c0})",
       "\u0410"},
      {"\\mac", R"({\rtf1\mac \'8e})", "\u00E9"},
      {"\\pc", R"({\rtf1\pc \'82})", "\u00E9"},
  });
}

// ---------------------------------------------------------------------------------------
// Real documents

TEST(RtfReaderCorpus, EverySharedDocumentLoadsSoundly) {
  const std::vector<fs::path> files = SharedRtfFiles();
  ASSERT_GE(files.size(), 40u) << "shared RTF corpus missing at " << kSharedRtfDir;
  for (const fs::path& file : files) {
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(BrokenPromise(ReadRtf(bytes), bytes.size()), "") << file;
  }
}

TEST(RtfReaderCorpus, SharedDocumentsGiveTheirWords) {
  struct Case {
    const char* file;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const std::vector<Case> cases = {
      {"pandoc-accent.rtf", {"le caf\u00E9 o\u00F9 on ne fume pas"}, {}},
      {"pandoc-footnote.rtf", {"annotated. It was", "Margaret Mead."}, {"Sahlins"}},
      {"pandoc-link.rtf", {"pandoc"}, {"HYPERLINK", "http"}},
      {"pandoc-unicode.rtf",
       {"\u201Chi\u201D", "\u2018hi\u2019", "\u03B1\u00E4\U0001D43B", "\uFFFDunpaired"},
       {"?"}},
      {"pandoc-table_error_codes.rtf", {"PandocAppError", "\tPandocParseError"}, {}},
      {"pandoc-list_multiparagraph.rtf",
       {"\u2022", "First item, paragraph two.", "Second item."},
       {}},
      {"pandoc-image.rtf", {}, {"ffd8"}},
      {"libreoffice-cp950listleveltext3.rtf", {"\u7532\u3001", "Test"}, {}},
      {"libreoffice-fdo48356.rtf", {"Ma\u010Dek"}, {}},
      {"libreoffice-fdo64671.rtf", {"\u017D"}, {"}"}},
      {"libreoffice-fdo85889-pc.rtf", {"\u00B1\u2265\u2264"}, {}},
      {"libreoffice-fdo80905.rtf", {"\u00ABTEST\u00BB\u00ABTEST\u00BB"}, {"MERGEFIELD"}},
      {"libreoffice-fdo45394.rtf", {"c\td"}, {"\u041F"}},  // the header is not shown
      {"libreoffice-bin-skipping.rtf", {"text"}, {}},
      {"libreoffice-fdo86750.rtf", {"click\ntarget"}, {"anchor"}},
  };
  for (const Case& c : cases) {
    const std::string text = ReadRtf(ReadFile(kSharedRtfDir / c.file)).PlainText();
    for (const std::string& word : c.present) {
      EXPECT_NE(text.find(word), std::string::npos) << c.file << " lacks " << word;
    }
    for (const std::string& word : c.absent) {
      EXPECT_EQ(text.find(word), std::string::npos) << c.file << " shows " << word;
    }
  }
}

TEST(RtfReaderCorpus, SharedDocumentsKeepTheirFormats) {
  const RtfDocument formatting = ReadRtf(ReadFile(kSharedRtfDir / "pandoc-formatting.rtf"));
  const RtfRun* bold = RunContaining(formatting, "bold");
  const RtfRun* italics = RunContaining(formatting, "italics");
  const RtfRun* underlined = RunContaining(formatting, "underlined");
  const RtfRun* strikeout = RunContaining(formatting, "strikeout");
  ASSERT_TRUE(bold && italics && underlined && strikeout);
  EXPECT_TRUE(bold->format.bold);
  EXPECT_TRUE(italics->format.italic);
  EXPECT_TRUE(underlined->format.underline);
  EXPECT_TRUE(strikeout->format.strike);
  EXPECT_EQ(bold->format.font_family, "Helvetica");
  EXPECT_EQ(formatting.PlainText().find("secret"), std::string::npos);  // hidden text

  const RtfDocument heading = ReadRtf(ReadFile(kSharedRtfDir / "pandoc-heading.rtf"));
  const RtfRun* h1 = RunContaining(heading, "Heading 1");
  ASSERT_TRUE(h1);
  EXPECT_EQ(h1->format.font_family, "Calibri Light");
  EXPECT_EQ(h1->format.size_half_points, 32);
  EXPECT_TRUE(h1->format.color.has_value());

  // Big5 font names and text.
  const RtfDocument big5 =
      ReadRtf(ReadFile(kSharedRtfDir / "libreoffice-cp950listleveltext3.rtf"));
  const RtfRun* chinese = RunContaining(big5, "\u7532\u3001");
  ASSERT_TRUE(chinese);
  EXPECT_EQ(chinese->format.font_family, "\u65B0\u7D30\u660E\u9AD4");
}

// ---------------------------------------------------------------------------------------
// Hostile input

TEST(RtfReaderHostile, DeepNestingIsReadWithoutStoringEveryLevel) {
  constexpr std::size_t kDepth = 1'000'000;
  EXPECT_EQ(Text(std::string(kDepth, '{') + "x" + std::string(kDepth, '}') + "y"), "xy");
  EXPECT_EQ(Text(std::string(kDepth, '{') + "\\b x"), "x");
  // A format set beyond the stored depth ends when its groups close.
  const RtfDocument document =
      ReadRtf("{\\rtf1 " + std::string(5000, '{') + "\\b deep" + std::string(5000, '}') + "flat}");
  ASSERT_EQ(document.runs.size(), 2u);
  EXPECT_TRUE(document.runs[0].format.bold);
  EXPECT_FALSE(document.runs[1].format.bold);
  EXPECT_EQ(document.runs[1].text, "flat");
}

std::string Repeated(std::string_view piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

std::string EveryByteValue(int length) {
  std::string out;
  for (int i = 0; i < length; ++i) out += static_cast<char>(i % 256);
  return out;
}

std::string EveryByteEscaped() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "{\\rtf1 ";
  for (int i = 0; i < 256; ++i) out += {'\\', '\'', kHex[i / 16], kHex[i % 16]};
  return out;
}

std::string ManyLongFontNames(int count) {
  std::string out = "{\\fonttbl";
  for (int i = 0; i < count; ++i) {
    out += "\\f" + std::to_string(i) + " F" + std::string(200, 'n') + ";";
  }
  return out + "}\\f7 x\\f8 y";
}

TEST(RtfReaderHostile, BrokenInputKeepsEveryPromise) {
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"unbalanced", "}}}{\\rtf1 a}}}b{{{\\i c"},
      {"giant control word", "{\\rtf1\\" + std::string(1'000'000, 'x') + "99999 text}"},
      {"giant parameter", "{\\rtf1\\fs" + std::string(1'000'000, '9') + " x}"},
      {"huge \\uc", "{\\rtf1\\uc99999999999 \\u65 abc} d"},
      {"\\u at the extremes", "\\u-2147483648 \\u2147483647 \\u-2147483649 "},
      {"colour and font extremes",
       "{\\colortbl\\red-2147483648;}\\cf2147483647 a\\f-2147483648 b\\highlight-1 c"},
      {"every byte value", EveryByteValue(4096)},
      {"every byte escaped", EveryByteEscaped()},
      {"bytes that decode to raw-byte characters", std::string(100'000, '\x81')},
      {"truncated in a font name", "{\\rtf1{\\fonttbl{\\f0\\fcharset134 \\'cb"},
      {"truncated \\u", "{\\rtf1 \\u-"},
      {"many long font names", ManyLongFontNames(5000)},
      {"alternating formats", Repeated("\\b a\\b0 b", 100'000)},
  };
  for (const auto& [what, input] : cases) ExpectSound(input, what);
}

TEST(RtfReaderHostile, LongFontNamesAreCut) {
  const RtfDocument document =
      ReadRtf("{\\fonttbl{\\f0 " + std::string(10'000, 'n') + ";}}\\f0 x");
  ASSERT_EQ(document.runs.size(), 1u);
  EXPECT_LE(document.runs[0].format.font_family.size(), kRtfMaxFontNameBytes);
  EXPECT_FALSE(document.runs[0].format.font_family.empty());
}

TEST(RtfReaderHostile, EveryTruncationOfTheSharedDocumentsLoads) {
  for (const fs::path& file : SharedRtfFiles()) {
    const std::string bytes = ReadFile(file);
    // Every cut in the first 512 bytes, then some 200 cuts spread over the rest.
    const std::size_t step = std::max<std::size_t>(1, bytes.size() / 200);
    for (std::size_t cut = 0; cut < bytes.size(); cut += cut < 512 ? 1 : step) {
      const std::string_view prefix = std::string_view(bytes).substr(0, cut);
      const std::string broken = BrokenPromise(ReadRtf(prefix), prefix.size());
      ASSERT_EQ(broken, "") << file << " cut at " << cut;
    }
  }
}

// Seeded, so a failure repeats.
std::string Mutate(std::string bytes, std::mt19937& random) {
  static const std::vector<std::string> kTokens = {
      "{", "}", "\\", "\\'", "\\u-", "\\bin", "\\uc9 ", "\\*", "\\fonttbl", "\\colortbl",
      "\\pict", "\\f", "\\fcharset134 ", "\\ansicpg936", ";", "\\cell", "\\'d6", "\0"s};
  const int edits = 1 + static_cast<int>(random() % 8);
  for (int i = 0; i < edits && !bytes.empty(); ++i) {
    const std::size_t at = random() % bytes.size();
    switch (random() % 5) {
      case 0: bytes[at] = static_cast<char>(random()); break;
      case 1: bytes.erase(at, 1 + random() % 64); break;
      case 2: bytes.insert(at, kTokens[random() % kTokens.size()]); break;
      case 3: bytes.insert(at, bytes.substr(random() % bytes.size(), 1 + random() % 256)); break;
      default: bytes.insert(at, std::to_string(static_cast<int>(random()))); break;
    }
  }
  return bytes;
}

TEST(RtfReaderHostile, RandomMutationsOfTheSharedDocumentsLoad) {
  std::mt19937 random(20240611);
  for (const fs::path& file : SharedRtfFiles()) {
    const std::string bytes = ReadFile(file);
    for (int round = 0; round < 60; ++round) {
      const std::string mutant = Mutate(bytes, random);
      const std::string broken = BrokenPromise(ReadRtf(mutant), mutant.size());
      ASSERT_EQ(broken, "") << file << " mutation round " << round;
    }
  }
}

TEST(RtfReaderHostile, FuzzCorpusStillLoads) {
  const std::vector<fs::path> files = FilesIn(fs::path(OSTRIVEL_SOURCE_DIR) / "fuzz/corpus/rtf");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    const std::string bytes = ReadFile(file);
    EXPECT_EQ(BrokenPromise(ReadRtf(bytes), bytes.size()), "") << file;
  }
}

}  // namespace
}  // namespace ostrivel
