// Arbitrary bytes through the code page 936 conversions: nothing may be lost, and whatever is
// handed to the editor must be text its buffer accepts. A broken property stops the run.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codepage/codepage.h"
#include "tests/support/line_ends.h"

namespace {

using ::ostrivel::testing::WithCrLfLineEnds;

using namespace ostrivel::codepage;

void Require(bool property) {
  if (!property) __builtin_trap();
}

bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// Well-formed UTF-8 (no overlong forms, surrogates or values above U+10FFFF) without NUL.
bool IsEditorText(std::string_view text) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const std::uint8_t b = p[i];
    std::size_t length = 0;
    std::uint8_t low = 0x80;
    std::uint8_t high = 0xBF;
    if (b >= 0x01 && b <= 0x7F) {
      length = 1;
    } else if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (n - i < length) return false;
    if (length > 1 && (p[i + 1] < low || p[i + 1] > high)) return false;
    for (std::size_t k = 2; k < length; ++k) {
      if (!IsContinuation(p[i + k])) return false;
    }
    i += length;
  }
  return true;
}

// Raw-byte characters are U+10FE00..U+10FEFF: F4 8F B8..BB xx in UTF-8.
bool HasRawByteChar(std::string_view text) {
  for (std::size_t i = text.find("\xF4\x8F"); i != std::string_view::npos;
       i = text.find("\xF4\x8F", i + 1)) {
    const auto third = static_cast<std::uint8_t>(i + 2 < text.size() ? text[i + 2] : 0);
    if (third >= 0xB8 && third <= 0xBB) return true;
  }
  return false;
}

void CheckBytesRoundTrip(std::string_view bytes) {
  const std::string text = Cp936ToUtf8(bytes);
  Require(IsEditorText(text));
  Require(Utf8ToCp936(text) == bytes);

  const std::string editor_text = BytesToEditorText(bytes);
  Require(IsEditorText(editor_text));
  Require(editor_text.find('\r') == std::string::npos);
  Require(EditorTextToBytes(editor_text) == WithCrLfLineEnds(bytes));
}

// The same input taken as UTF-8: text the editor could hold comes back unchanged.
void CheckTextRoundTrip(std::string_view text) {
  const std::string bytes = Utf8ToCp936(text);  // invalid UTF-8 must not crash either
  if (IsEditorText(text) && !HasRawByteChar(text)) Require(Cp936ToUtf8(bytes) == text);
}

void CheckOtherCodePages(std::string_view bytes) {
  static constexpr std::array<int, 12> kCodePages{1252,  932, 950,   949,   874, 1251,
                                                  10000, 437, 54936, 65001, 0,   12345};
  if (bytes.empty()) return;
  const int code_page = kCodePages[static_cast<std::uint8_t>(bytes[0]) % kCodePages.size()];
  Require(IsEditorText(CodePageToUtf8(bytes.substr(1), code_page)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  CheckBytesRoundTrip(input);
  CheckTextRoundTrip(input);
  CheckOtherCodePages(input);
  return 0;
}
