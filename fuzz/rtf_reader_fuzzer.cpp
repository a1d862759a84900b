// Feeds arbitrary bytes to the RTF reader. Besides the sanitizers' checks it enforces what
// the editor relies on: text bounded by the input size, valid UTF-8 with "\n" line breaks
// and no NUL, and runs that are non-empty with adjacent runs of different formats.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "editor/rtf_reader.h"

namespace {

// Each input byte yields at most one four-byte UTF-8 character.
constexpr std::size_t kMaxOutputPerInputByte = 4;

void Require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "rtf_reader_fuzzer: %s\n", what);
    std::abort();
  }
}

// Structural UTF-8 check, including overlongs, surrogates and values past U+10FFFF.
bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, c = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && c < 0x800) || (length == 4 && c < 0x10000);
    if (overlong || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const ostrivel::RtfDocument document = ostrivel::ReadRtf(input);

  std::size_t total = 0;
  for (std::size_t i = 0; i < document.runs.size(); ++i) {
    const ostrivel::RtfRun& run = document.runs[i];
    Require(!run.text.empty(), "empty run");
    Require(i == 0 || document.runs[i - 1].format != run.format, "adjacent runs share a format");
    Require(IsValidUtf8(run.text), "run text is not valid UTF-8");
    Require(run.text.find('\0') == std::string_view::npos, "NUL in text");
    Require(run.text.find('\r') == std::string_view::npos, "CR in text");
    Require(run.format.font_family.size() <= ostrivel::kRtfMaxFontNameBytes,
            "font name longer than its cap");
    total += run.text.size();
  }
  Require(total <= kMaxOutputPerInputByte * size, "output out of proportion to the input");
  Require(document.PlainText().size() == total, "plain text differs from the runs");
  return 0;
}
