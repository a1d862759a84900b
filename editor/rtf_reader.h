// Reads an RTF document into runs of formatted text. Written for robustness: malformed,
// truncated or hostile input never crashes, hangs or takes memory out of proportion to
// its size; the reader keeps what it could read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivel {

// Face names longer than this many UTF-8 bytes are cut at a character boundary.
inline constexpr std::size_t kRtfMaxFontNameBytes = 96;

// Character formatting of a run. Colours are packed red | green << 8 | blue << 16.
struct RtfCharFormat {
  std::string font_family;               // UTF-8 face name from the font table, empty if none
  int size_half_points = 24;             // \fsN (RTF's default is 12 pt)
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strike = false;
  bool is_protected = false;             // \protect: the editor keeps the text read-only
  std::optional<std::uint32_t> color;       // \cfN, nullopt for the automatic colour
  std::optional<std::uint32_t> background;  // \highlightN or \cbN
  bool operator==(const RtfCharFormat&) const = default;
};

struct RtfRun {
  std::string text;  // UTF-8; paragraph and line breaks are "\n", tabs "\t"
  RtfCharFormat format;
};

struct RtfDocument {
  std::vector<RtfRun> runs;  // adjacent runs always differ in format; no run is empty
  std::string PlainText() const;  // all runs' text joined
};

// Never throws for any input; gives what could be read.
RtfDocument ReadRtf(std::string_view bytes);

}  // namespace ostrivel
