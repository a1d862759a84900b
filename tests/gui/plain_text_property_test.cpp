// Loading plain text into the editor and reading it back keeps every byte; only line ends
// change, each CR LF, lone CR and lone LF becoming CR LF. Checked on many random byte strings
// made of the pieces that are hard to get right: line ends, high bytes, GBK pairs, GB18030
// four-byte codes, UTF-8 sequences read as code page 936, and stray lead bytes.
#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <string_view>

#include "editor/editor_pane.h"
#include "gui_test_support.h"
#include "tests/support/line_ends.h"

namespace ostrivel {
namespace {

using ::ostrivel::testing::WithCrLfLineEnds;

std::string Hex(std::string_view bytes, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < std::min(to, bytes.size()); ++i) {
    char part[4];
    std::snprintf(part, sizeof part, "%02X ", static_cast<unsigned char>(bytes[i]));
    out += part;
  }
  return out.empty() ? "(nothing)" : out;
}

// Where two byte strings part, with the bytes around that place in both.
std::string HexDiff(std::string_view expected, std::string_view actual) {
  const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const std::size_t at = static_cast<std::size_t>(e - expected.begin());
  const std::size_t from = at < 16 ? 0 : at - 16;
  return "sizes " + std::to_string(expected.size()) + " (expected) and " + std::to_string(actual.size()) +
         " (read back); first difference at byte " + std::to_string(at) + "\n  expected from byte " +
         std::to_string(from) + ": " + Hex(expected, from, at + 16) + "\n  read back from byte " +
         std::to_string(from) + ": " + Hex(actual, from, at + 16);
}

// Random byte strings without NUL, built from pieces chosen for the trouble they make.
class ByteStrings {
 public:
  explicit ByteStrings(std::uint32_t seed) : random_(seed) {}

  std::string Next() {
    // Mostly short strings, where every piece sits near the ends, some of a few KB.
    const std::size_t length = Chance(4) ? Between(0, 4096) : Between(0, 64);
    std::string bytes;
    while (bytes.size() < length) AppendPiece(bytes);
    return bytes;
  }

 private:
  int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  bool Chance(int one_in) { return Between(1, one_in) == 1; }
  static char Byte(int value) { return static_cast<char>(static_cast<std::uint8_t>(value)); }

  void AppendPiece(std::string& bytes) {
    // Line ends in every arrangement, including LF CR and runs that pair across pieces.
    static constexpr std::array<std::string_view, 6> kLineEnds = {"\r", "\n", "\r\n", "\n\r", "\r\r\n", "\n\n"};
    // Codes that sit on an edge: the euro sign of code page 936 (0x80) and GB18030's other
    // euro (A2 E3), GB18030 codes of U+0085, U+2028, U+2029 and U+FEFF, which the text view
    // could take for line breaks or drop, and code page 936's first and last pairs.
    static constexpr std::array<std::string_view, 8> kEdges = {
        "\x80", "\xA2\xE3", "\x81\x30\x81\x35", "\x81\x36\xA6\x35",
        "\x81\x36\xA6\x36", "\x84\x31\x95\x33", "\x81\x40", "\xFE\xFE"};
    switch (Between(0, 9)) {
      case 0:
      case 1:
        bytes += kLineEnds[Between(0, kLineEnds.size() - 1)];
        break;
      case 2:  // a lone high byte
        bytes += Byte(Between(0x80, 0xFF));
        break;
      case 3: {  // a GBK pair; the trail byte is never 0x7F
        bytes += Byte(Between(0x81, 0xFE));
        const int trail = Between(0x40, 0xFD);
        bytes += Byte(trail >= 0x7F ? trail + 1 : trail);
        break;
      }
      case 4:  // a GB18030 four-byte code, valid or not
        bytes += Byte(Between(0x81, 0xFE));
        bytes += Byte(Between(0x30, 0x39));
        bytes += Byte(Between(0x81, 0xFE));
        bytes += Byte(Between(0x30, 0x39));
        break;
      case 5:
        AppendUtf8(bytes, static_cast<char32_t>(Chance(2) ? Between(0x80, 0xFFFF) : Between(0x10000, 0x10FFFF)));
        break;
      case 6:  // a lead byte cut off by a line end or by the end of the string
        bytes += Byte(Between(0x81, 0xFE));
        if (Chance(2)) bytes += kLineEnds[Between(0, kLineEnds.size() - 1)];
        break;
      case 7:
        bytes += kEdges[Between(0, kEdges.size() - 1)];
        break;
      case 8:  // any byte but NUL
        bytes += Byte(Between(1, 0xFF));
        break;
      default:  // a run of plain ASCII, as most of a page is
        for (int n = Between(1, 12); n > 0; --n) bytes += Byte(Between(0x20, 0x7E));
        break;
    }
  }

  static void AppendUtf8(std::string& bytes, char32_t c) {
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // surrogates have no UTF-8 form
    if (c < 0x800) {
      bytes += Byte(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
      bytes += Byte(0xE0 | (c >> 12));
      bytes += Byte(0x80 | ((c >> 6) & 0x3F));
    } else {
      bytes += Byte(0xF0 | (c >> 18));
      bytes += Byte(0x80 | ((c >> 12) & 0x3F));
      bytes += Byte(0x80 | ((c >> 6) & 0x3F));
    }
    bytes += Byte(0x80 | (c & 0x3F));
  }

  std::mt19937 random_;
};

TEST(WithCrLfLineEnds, MakesEveryKindOfLineEndCrLf) {
  EXPECT_EQ(WithCrLfLineEnds("a\rb\nc\r\nd\n\re\r\r\n"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n\r\n");
  EXPECT_EQ(WithCrLfLineEnds("\xD6\xD0\r"), "\xD6\xD0\r\n");
}

TEST(PlainTextProperty, ReadingBackGivesTheLoadedBytesWithCrLfLineEnds) {
  Gtk::Window window;
  auto editor = std::make_unique<EditorPane>(EditorSettings::MainEditor());
  window.add(editor->widget());
  window.set_default_size(400, 300);
  window.show_all();
  testing::Flush();

  constexpr std::uint32_t kSeed = 20240611;  // fixed, so that a failure can be run again
  ByteStrings strings(kSeed);
  for (int n = 0; n < 400; ++n) {
    const std::string bytes = strings.Next();
    editor->ReplaceWithPlainText(bytes);
    const std::string expected = WithCrLfLineEnds(bytes);
    const std::string actual = editor->Content();
    ASSERT_TRUE(actual == expected) << "string " << n << " of seed " << kSeed << " loaded as: " << Hex(bytes, 0, 64)
                                    << (bytes.size() > 64 ? "..." : "") << "\n" << HexDiff(expected, actual);
    testing::Flush();
  }
}

}  // namespace
}  // namespace ostrivel
