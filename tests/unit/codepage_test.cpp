#include "codepage/codepage.h"
#include "tests/support/line_ends.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

namespace ostrivel::codepage {
namespace {

using ::ostrivel::testing::WithCrLfLineEnds;

// Byte strings are compared as hex, so that a failure shows which bytes differ.
std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (const char c : bytes) {
    const auto b = static_cast<std::uint8_t>(c);
    if (!hex.empty()) hex += ' ';
    hex += kDigits[b >> 4];
    hex += kDigits[b & 0x0F];
  }
  return hex;
}

std::string Utf8Of(char32_t c) {
  std::string utf8;
  if (c < 0x80) {
    utf8 += static_cast<char>(c);
  } else if (c < 0x800) {
    utf8 += static_cast<char>(0xC0 | c >> 6);
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    utf8 += static_cast<char>(0xE0 | c >> 12);
    utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    utf8 += static_cast<char>(0xF0 | c >> 18);
    utf8 += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    utf8 += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    utf8 += static_cast<char>(0x80 | (c & 0x3F));
  }
  return utf8;
}

std::string Raw(std::uint8_t byte) { return Utf8Of(RawByteChar(byte)); }

// What the toolkit's text buffer accepts: well-formed UTF-8 without NUL.
bool IsEditorText(std::string_view text) {
  return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr);
}

// Both lossless properties for one byte string, with a message naming the input.
void ExpectRoundTrips(std::string_view bytes) {
  const std::string text = Cp936ToUtf8(bytes);
  EXPECT_TRUE(IsEditorText(text)) << "decoding " << Hex(bytes);
  EXPECT_EQ(Hex(Utf8ToCp936(text)), Hex(bytes));
  const std::string editor_text = BytesToEditorText(bytes);
  EXPECT_TRUE(IsEditorText(editor_text)) << "decoding " << Hex(bytes);
  EXPECT_EQ(editor_text.find('\r'), std::string::npos) << "decoding " << Hex(bytes);
  EXPECT_EQ(Hex(EditorTextToBytes(editor_text)), Hex(WithCrLfLineEnds(bytes)));
}

struct CharacterCase {
  std::string_view text;   // UTF-8
  std::string_view bytes;  // as written
};

TEST(CodepageTest, CharactersHaveTheirCodePage936OrGb18030Bytes) {
  // Code page 936 bytes where it holds the character, else the GB18030 code (cross-checked
  // with Python's gb18030 codec).
  constexpr std::array<CharacterCase, 16> kCases{{
      {"", ""},
      {"<p>a</p>", "<p>a</p>"},
      {"中文", "\xD6\xD0\xCE\xC4"},
      {"——", "\xA1\xAA\xA1\xAA"},  // U+2014, the caption's em dashes
      {"·", "\xA1\xA4"},           // U+00B7
      {"€", "\x80"},               // code page 936's euro sign, not GB18030's A2 E3
      {"😀", "\x94\x39\xFC\x36"},   // U+1F600
      {"한", "\x83\x36\x84\x33"},  // U+D55C, a Hangul syllable
      {"©", "\x81\x30\x84\x38"},   // U+00A9
      {"\u00A0", "\x81\x30\x84\x32"},
      {"\uFFFF", "\x84\x31\xA4\x39"},  // the last BMP four-byte code
      {"\U00010000", "\x90\x30\x81\x30"},
      {"\U0010FFFF", "\xE3\x32\x9A\x35"},
      {"\uE000", "\xAA\xA1"},  // user-defined area, as Windows' code page 936 has it
      {"a\t\x7F", "a\t\x7F"},
      {"中😀a한",
       "\xD6\xD0\x94\x39\xFC\x36"
       "a\x83\x36\x84\x33"},
  }};
  for (const CharacterCase& c : kCases) {
    EXPECT_EQ(Hex(Utf8ToCp936(c.text)), Hex(c.bytes)) << "encoding " << c.text;
    EXPECT_EQ(Hex(Cp936ToUtf8(c.bytes)), Hex(c.text)) << "decoding " << Hex(c.bytes);
  }
}

TEST(CodepageTest, BytesThatAreNoCharacterDecodeToRawByteCharacters) {
  struct RawCase {
    std::string bytes;
    std::string text;
  };
  const RawCase kCases[] = {
      {"A\xD6", "A" + Raw(0xD6)},                       // a lone lead byte at the end
      {"\xFF", Raw(0xFF)},                              // never a character
      {"\xA1\x7F", Raw(0xA1) + "\x7F"},                 // a lead byte before an invalid trail
      {std::string("a\0b", 3), "a" + Raw(0x00) + "b"},  // the editor cannot hold NUL
      {"\xE4\xB8\xAD", "\u6D93" + Raw(0xAD)},           // UTF-8 "中": a pair, then a stray byte
      {"\x81\x30\x81", Raw(0x81) + "0" + Raw(0x81)},    // a cut-off four-byte code
      {"\xE3\x32\x9A\x36", Raw(0xE3) + "2" + Raw(0x9A) + "6"},  // beyond U+10FFFF
      {"\x84\x31\xA5\x30", Raw(0x84) + "1" + Raw(0xA5) + "0"},  // between BMP and U+10000
      // The four-byte code of a raw-byte character (U+10FE41): the byte stands for it instead.
      {"\xE3\x31\xEB\x39", Raw(0xE3) + "1" + Raw(0xEB) + "9"},
  };
  for (const RawCase& c : kCases) {
    EXPECT_EQ(Hex(Cp936ToUtf8(c.bytes)), Hex(c.text)) << "decoding " << Hex(c.bytes);
    EXPECT_EQ(Hex(Utf8ToCp936(c.text)), Hex(c.bytes)) << "encoding back " << Hex(c.bytes);
  }
}

TEST(CodepageTest, EveryOneAndTwoByteStringRoundTrips) {
  for (int first = 0; first < 256; ++first) {
    ExpectRoundTrips(std::string(1, static_cast<char>(first)));
    for (int second = 0; second < 256; ++second) {
      const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
      const std::string text = Cp936ToUtf8(bytes);
      ASSERT_TRUE(IsEditorText(text)) << Hex(bytes);
      ASSERT_EQ(Hex(Utf8ToCp936(text)), Hex(bytes));
    }
  }
}

TEST(CodepageTest, EveryFourByteShapedStringRoundTrips) {
  std::string bytes;
  std::size_t characters = 0;
  for (int b0 = 0x81; b0 <= 0xFE; ++b0) {
    for (int b1 = '0'; b1 <= '9'; ++b1) {
      for (int b2 = 0x81; b2 <= 0xFE; ++b2) {
        for (int b3 = '0'; b3 <= '9'; ++b3) {
          bytes += {static_cast<char>(b0), static_cast<char>(b1), static_cast<char>(b2),
                    static_cast<char>(b3)};
        }
      }
    }
  }
  const std::string text = Cp936ToUtf8(bytes);
  EXPECT_TRUE(IsEditorText(text));
  EXPECT_TRUE(Utf8ToCp936(text) == bytes);  // 6 MB: no hex dump
  for (std::size_t i = 0; i < text.size(); ++i) characters += (text[i] & 0xC0) != 0x80;
  // Nearly all four-byte codes below U+10FFFF are characters (all but the raw-byte ones and the
  // BMP codes of characters that have shorter bytes), so the text has far fewer characters
  // than bytes.
  EXPECT_LT(characters, bytes.size() / 3);
}

TEST(CodepageTest, RandomByteStringsRoundTrip) {
  std::mt19937 random(20240917);
  // Biased towards the bytes that form units: leads, GB18030 digits, trails, line ends, NUL.
  constexpr std::string_view kInteresting("\x81\xA1\xD6\xFE\xFF\x80\x30\x35\x39\x40\x7F\r\n\0a",
                                          15);
  std::uniform_int_distribution<int> length(0, 40);
  std::uniform_int_distribution<int> any_byte(0, 255);
  std::uniform_int_distribution<int> pick(0, kInteresting.size() - 1);
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(length(random), '\0');
    for (char& b : bytes) {
      b = random() % 2 ? static_cast<char>(any_byte(random)) : kInteresting[pick(random)];
    }
    ExpectRoundTrips(bytes);
    if (HasFailure()) return;
  }
}

TEST(CodepageTest, EveryCharacterSurvivesTextToBytesToText) {
  // Except NUL (read back as a raw byte) and the raw-byte characters (written as one byte).
  std::string text;
  for (char32_t c = 1; c <= 0x10FFFF; ++c) {
    if ((c < 0xD800 || c > 0xDFFF) && !IsRawByteChar(c)) text += Utf8Of(c);
  }
  EXPECT_TRUE(Cp936ToUtf8(Utf8ToCp936(text)) == text);
}

TEST(CodepageTest, CharactersCodePage936HoldsKeepItsBytes) {
  // Against the C library's table, every BMP character it writes in one or two bytes.
  iconv_t to_cp936 = iconv_open("CP936", "UTF-32LE");
  ASSERT_NE(to_cp936, reinterpret_cast<iconv_t>(-1));
  int held = 0;
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (c >= 0xD800 && c <= 0xDFFF) continue;
    char32_t in_char = c;
    char* in = reinterpret_cast<char*>(&in_char);
    std::size_t in_left = 4;
    char out_bytes[8];
    char* out = out_bytes;
    std::size_t out_left = sizeof out_bytes;
    iconv(to_cp936, nullptr, nullptr, nullptr, nullptr);
    if (iconv(to_cp936, &in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) continue;
    ++held;
    EXPECT_EQ(Hex(Utf8ToCp936(Utf8Of(c))), Hex(std::string_view(out_bytes, out - out_bytes)))
        << "U+" << std::hex << static_cast<std::uint32_t>(c);
  }
  iconv_close(to_cp936);
  EXPECT_GT(held, 21000);
}

TEST(CodepageTest, InvalidUtf8IsWrittenUnchanged) {
  const CharacterCase kCases[] = {
      {"\xC3", "\xC3"},                          // cut off
      {"\xC0\xAF", "\xC0\xAF"},                  // overlong "/"
      {"\xE0\x82\xB7", "\xE0\x82\xB7"},          // overlong "·", which has a code
      {"\xED\xA0\x80", "\xED\xA0\x80"},          // a surrogate
      {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // above U+10FFFF
      {"\x80\xBF", "\x80\xBF"},                  // stray continuation bytes
      {"中\xFF文", "\xD6\xD0\xFF\xCE\xC4"},
      {"\xE4\xB8中", "\xE4\xB8\xD6\xD0"},  // a cut-off sequence before a whole one
  };
  for (const CharacterCase& c : kCases) {
    EXPECT_EQ(Hex(Utf8ToCp936(c.text)), Hex(c.bytes));
    EXPECT_EQ(Hex(EditorTextToBytes(c.text)), Hex(c.bytes));
  }
}

TEST(CodepageTest, LineBreaksBecomeCrLfAndBack) {
  const CharacterCase kCases[] = {
      {"a\nb", "a\r\nb"},   {"a\rb", "a\r\nb"},           {"a\r\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"}, {"\r\r\n\n", "\r\n\r\n\r\n"}, {"中\n", "\xD6\xD0\r\n"},
      {"x\r", "x\r\n"},     {"no break", "no break"},
  };
  for (const CharacterCase& c : kCases) {
    EXPECT_EQ(Hex(EditorTextToBytes(c.text)), Hex(c.bytes)) << "writing " << Hex(c.text);
  }
  const CharacterCase kReads[] = {
      {"a\nb", "a\r\nb"}, {"a\nb", "a\rb"},       {"a\nb", "a\nb"}, {"\n\n\n", "\r\r\n\n"},
      {"\n\n", "\n\r"},   {"中\n", "\xD6\xD0\r"}, {"\n", "\r\n"},   {"x", "x"},
  };
  for (const CharacterCase& c : kReads) {
    EXPECT_EQ(Hex(BytesToEditorText(c.bytes)), Hex(c.text)) << "reading " << Hex(c.bytes);
  }
  // Cp936ToUtf8 and Utf8ToCp936 leave line ends alone.
  EXPECT_EQ(Cp936ToUtf8("a\rb\r\nc\n"), "a\rb\r\nc\n");
  EXPECT_EQ(Utf8ToCp936("a\rb\r\nc\n"), "a\rb\r\nc\n");
}

TEST(CodepageTest, UnitsAtEveryPositionOfALargeTextConvertWhole) {
  // Large texts are converted piecewise; no unit or CR LF may be split wherever it falls.
  const std::string units = "\r\n\xD6\xD0\x94\x39\xFC\x36\x80\xFF";
  const std::string unit_text = "\n中😀€" + Raw(0xFF);
  for (std::size_t offset = 0; offset < units.size(); ++offset) {
    std::string bytes(60000 - offset, 'x');
    std::string expected(60000 - offset, 'x');
    while (bytes.size() < 140000) {
      bytes += units;
      expected += unit_text;
    }
    EXPECT_TRUE(BytesToEditorText(bytes) == expected) << "offset " << offset;
    EXPECT_TRUE(EditorTextToBytes(expected) == bytes) << "offset " << offset;
  }
}

TEST(CodepageTest, OtherCodePagesDecodeThroughTheSystemTables) {
  struct CodePageCase {
    int code_page;
    std::string bytes;
    std::string text;
  };
  const CodePageCase kCases[] = {
      {1252, "caf\xE9 \x80\x93", "café €“"},
      {1252, "\x81", Raw(0x81)},  // undefined in 1252
      {950, "\xA4\xA4\xA4\xE5", "中文"},
      {932, "\x93\xFA\x96\x7B", "日本"},
      {932, "\x93\xFA\x93", "日" + Raw(0x93)},  // a lone lead byte at the end
      {936, "\xD6\xD0\x80", "中€"},
      {0, "\xD6\xD0", "中"},  // the system code page
      {1251, "\xCF\xF0\xE8", "При"},
      {10000, "\x8E", "é"},  // Mac Roman
      {437, "\x82\xB0", "é░"},
      {12345, "\xE9", "é"},  // unknown: taken as 1252
      {1252, std::string("a\0b", 3), "a" + Raw(0x00) + "b"},
      {65001, "\xC3\xA9\xF4\x90\x80\x80\xED\xA0\x80",  // above U+10FFFF, a surrogate
       "é" + Raw(0xF4) + Raw(0x90) + Raw(0x80) + Raw(0x80) + Raw(0xED) + Raw(0xA0) + Raw(0x80)},
  };
  for (const CodePageCase& c : kCases) {
    EXPECT_EQ(CodePageToUtf8(c.bytes, c.code_page), c.text)
        << "code page " << c.code_page << ", bytes " << Hex(c.bytes);
  }
}

TEST(CodepageTest, CorpusFilesRoundTrip) {
  const std::filesystem::path corpus = OSTRIVEL_SOURCE_DIR "/fuzz/corpus/codepage";
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(corpus, error)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(file), {}};
    SCOPED_TRACE(entry.path().filename().string());
    ExpectRoundTrips(bytes);
    for (const int code_page : {1252, 932, 950, 949, 54936, 65001}) {
      EXPECT_TRUE(IsEditorText(CodePageToUtf8(bytes, code_page))) << "code page " << code_page;
    }
  }
}

}  // namespace
}  // namespace ostrivel::codepage
