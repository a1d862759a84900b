#include "codepage/codepage.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>

#include "codepage/iconv_handle.h"

namespace ostrivel::codepage {
namespace {

// ---------------------------------------------------------------------------------------------
// GB18030 four-byte codes. A code b0 b1 b2 b3 (b0, b2 in 0x81..0xFE; b1, b3 in '0'..'9') has the
// linear index ((b0-0x81)*10 + b1-0x30)*1260 + (b2-0x81)*10 + b3-0x30. Indices below
// kBmpFourByteCount hold BMP characters (0x81308130..0x8431A439, looked up in a table); U+10000
// and up follow one another from kNonBmpFourByteBase (0x90308130).

constexpr std::uint32_t kBmpFourByteCount = 39420;
constexpr std::uint32_t kNonBmpFourByteBase = 189000;

constexpr bool IsFourByteShape(const std::uint8_t* p) {
  return p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x30 && p[1] <= 0x39 && p[2] >= 0x81 &&
         p[2] <= 0xFE && p[3] >= 0x30 && p[3] <= 0x39;
}

constexpr std::uint32_t FourByteLinear(const std::uint8_t* p) {
  return ((std::uint32_t{p[0]} - 0x81) * 10 + (p[1] - 0x30)) * 1260 + (p[2] - 0x81) * 10 +
         (p[3] - 0x30);
}

char* PutFourByte(char* out, std::uint32_t linear) {
  out[3] = static_cast<char>(0x30 + linear % 10);
  linear /= 10;
  out[2] = static_cast<char>(0x81 + linear % 126);
  linear /= 126;
  out[1] = static_cast<char>(0x30 + linear % 10);
  linear /= 10;
  out[0] = static_cast<char>(0x81 + linear);
  return out + 4;
}

// ---------------------------------------------------------------------------------------------
// Tables. The encoder table is the single source of truth: the decoder tables are its inverse,
// so a decoded unit always encodes back to the bytes it came from.

// How one BMP character is written: 0 = no code; below 0x100 one byte; below kFourByteFlag the
// two bytes lead << 8 | trail; kFourByteFlag | linear index for a four-byte code.
constexpr std::uint32_t kFourByteFlag = 0x01000000;

// A character's UTF-8, padded to four bytes so that it can be copied as one word.
struct Utf8Code {
  std::array<char, 3> bytes;
  std::uint8_t length;  // 0: no character
};

struct Tables {
  std::array<std::uint32_t, 0x10000> encode{};            // by BMP code point
  std::array<char16_t, 0x100> decode_one{};               // high bytes that stand alone (0x80)
  std::array<Utf8Code, 0x10000> decode_two{};             // by lead << 8 | trail
  std::array<char16_t, kBmpFourByteCount> decode_four{};  // by linear index
};

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The bytes iconv writes for one character; empty if it has none.
std::string EncodeOneWithIconv(IconvHandle& to_bytes, char32_t c) {
  if (!to_bytes.valid()) return {};
  std::array<char, 4> utf32le{static_cast<char>(c), static_cast<char>(c >> 8),
                              static_cast<char>(c >> 16), 0};
  std::array<char, 16> bytes{};
  char* in = utf32le.data();
  std::size_t in_left = utf32le.size();
  char* out = bytes.data();
  std::size_t out_left = bytes.size();
  to_bytes.Reset();
  if (to_bytes.Convert(&in, &in_left, &out, &out_left) == static_cast<std::size_t>(-1)) return {};
  to_bytes.Convert(nullptr, nullptr, &out, &out_left);  // flush a pending shift sequence
  return std::string(bytes.data(), out);
}

Utf8Code ToUtf8Code(char32_t c);

// Records that c is written as `bytes`, unless those bytes already belong to another character
// (the first claim wins, so code page 936 codes are recorded first).
bool Claim(Tables& t, char32_t c, std::string_view bytes) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  if (bytes.size() == 1 && byte(0) >= 0x80) {
    if (t.decode_one[byte(0)] != 0) return false;
    t.decode_one[byte(0)] = static_cast<char16_t>(c);
    t.encode[c] = byte(0);
    return true;
  }
  if (bytes.size() == 2 && byte(0) >= 0x81 && byte(0) <= 0xFE && byte(1) >= 0x40 &&
      byte(1) != 0x7F && byte(1) <= 0xFE) {
    const std::uint32_t code = std::uint32_t{byte(0)} << 8 | byte(1);
    if (t.decode_two[code].length != 0) return false;
    t.decode_two[code] = ToUtf8Code(c);
    t.encode[c] = code;
    return true;
  }
  if (bytes.size() == 4 && IsFourByteShape(reinterpret_cast<const std::uint8_t*>(bytes.data()))) {
    const std::uint32_t linear =
        FourByteLinear(reinterpret_cast<const std::uint8_t*>(bytes.data()));
    if (linear >= kBmpFourByteCount || t.decode_four[linear] != 0) return false;
    t.decode_four[linear] = static_cast<char16_t>(c);
    t.encode[c] = kFourByteFlag | linear;
    return true;
  }
  return false;
}

// Private-use characters that the C library's GB18030 gives no code (their old two-byte codes
// now name standard characters). They take the codes GB18030-2022 gives them: the former
// four-byte code of the standard character that took their place; for the six whose standard
// character lies beyond the BMP, which is always written with its own four-byte code, the
// two-byte code itself is free and stays theirs.
struct PrivateUseCode {
  char16_t c;
  std::string_view bytes;
};
constexpr std::array<PrivateUseCode, 24> kPrivateUseCodes{{
    {u'\uE78D', "\x84\x31\x82\x36"}, {u'\uE78E', "\x84\x31\x82\x38"},
    {u'\uE78F', "\x84\x31\x82\x37"}, {u'\uE790', "\x84\x31\x82\x39"},
    {u'\uE791', "\x84\x31\x83\x30"}, {u'\uE792', "\x84\x31\x83\x31"},
    {u'\uE793', "\x84\x31\x83\x32"}, {u'\uE794', "\x84\x31\x83\x33"},
    {u'\uE795', "\x84\x31\x83\x34"}, {u'\uE796', "\x84\x31\x83\x35"},
    {u'\uE81E', "\x82\x35\x90\x37"}, {u'\uE826', "\x82\x35\x90\x38"},
    {u'\uE82B', "\x82\x35\x90\x39"}, {u'\uE82C', "\x82\x35\x91\x30"},
    {u'\uE832', "\x82\x35\x91\x31"}, {u'\uE843', "\x82\x35\x91\x32"},
    {u'\uE854', "\x82\x35\x91\x33"}, {u'\uE864', "\x82\x35\x91\x34"},
    {u'\uE816', "\xFE\x51"},         {u'\uE817', "\xFE\x52"},
    {u'\uE818', "\xFE\x53"},         {u'\uE831', "\xFE\x6C"},
    {u'\uE83B', "\xFE\x76"},         {u'\uE855', "\xFE\x91"},
}};

std::unique_ptr<const Tables> BuildTables() {
  auto t = std::make_unique<Tables>();
  IconvHandle to_cp936("CP936", "UTF-32LE");
  IconvHandle to_gb18030("GB18030", "UTF-32LE");
  // Code page 936 first, so that its codes are never taken by anything else.
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (!IsSurrogate(c)) Claim(*t, c, EncodeOneWithIconv(to_cp936, c));
  }
  // The C library's CP936 already writes U+20AC as 0x80, as Windows does; make sure of it.
  if (t->encode[0x20AC] == 0) Claim(*t, 0x20AC, "\x80");
  // What code page 936 lacks: GB18030's code (four bytes, or two where code page 936 leaves
  // the code undefined, as for the user-defined areas).
  for (char32_t c = 0x80; c <= 0xFFFF; ++c) {
    if (!IsSurrogate(c) && t->encode[c] == 0) Claim(*t, c, EncodeOneWithIconv(to_gb18030, c));
  }
  for (const PrivateUseCode& code : kPrivateUseCodes) {
    if (t->encode[code.c] == 0) Claim(*t, code.c, code.bytes);
  }
  return t;
}

const Tables& GetTables() {
  static const std::unique_ptr<const Tables> tables = BuildTables();
  return *tables;
}

// ---------------------------------------------------------------------------------------------
// UTF-8.

inline char* PutUtf8(char* out, char32_t c) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | c >> 6);
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | c >> 12);
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | c >> 18);
    *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

Utf8Code ToUtf8Code(char32_t c) {
  Utf8Code code{};
  code.length = static_cast<std::uint8_t>(PutUtf8(code.bytes.data(), c) - code.bytes.data());
  return code;
}

void AppendUtf8(std::string& text, char32_t c) {
  std::array<char, 4> utf8;
  text.append(utf8.data(), PutUtf8(utf8.data(), c));
}

struct Unit {
  char32_t c;
  std::size_t length;  // bytes read; 0 = not a valid sequence
};

bool IsContinuation(std::uint8_t b) { return (b & 0xC0) == 0x80; }

// The conversion loops' per-character helpers are forced inline: each is used by two
// instantiations of a loop, and a call per character costs more than the work.
#define OSTRIVEL_HOT [[gnu::always_inline]] inline

// One well-formed UTF-8 sequence (no overlong forms, surrogates or values above U+10FFFF).
OSTRIVEL_HOT Unit ReadUtf8(const std::uint8_t* p, std::size_t left) {
  const std::uint8_t b = p[0];
  if (b >= 0xC2 && b <= 0xDF) {
    if (left >= 2 && IsContinuation(p[1])) return {char32_t(b & 0x1F) << 6 | (p[1] & 0x3F), 2};
  } else if (b >= 0xE0 && b <= 0xEF) {
    const std::uint8_t low = b == 0xE0 ? 0xA0 : 0x80;
    const std::uint8_t high = b == 0xED ? 0x9F : 0xBF;
    if (left >= 3 && p[1] >= low && p[1] <= high && IsContinuation(p[2])) {
      return {char32_t(b & 0x0F) << 12 | char32_t(p[1] & 0x3F) << 6 | (p[2] & 0x3F), 3};
    }
  } else if (b >= 0xF0 && b <= 0xF4) {
    const std::uint8_t low = b == 0xF0 ? 0x90 : 0x80;
    const std::uint8_t high = b == 0xF4 ? 0x8F : 0xBF;
    if (left >= 4 && p[1] >= low && p[1] <= high && IsContinuation(p[2]) && IsContinuation(p[3])) {
      return {char32_t(b & 0x07) << 18 | char32_t(p[1] & 0x3F) << 12 | char32_t(p[2] & 0x3F) << 6 |
                  (p[3] & 0x3F),
              4};
    }
  }
  return {0, 0};
}

// ---------------------------------------------------------------------------------------------
// Conversion loops. Input is handled in chunks converted into a scratch buffer that has room
// for the worst case of a chunk, so the inner loops write through a plain pointer; the result
// is reserved once from an estimate, so that a large text is neither zero-filled nor copied
// while it grows.

constexpr std::size_t kChunk = 64 * 1024;

class OutputBuffer {
 public:
  // growth: the most bytes a chunk writes per byte read. A chunk's last unit may read up to 3
  // bytes past the chunk, hence the slack.
  OutputBuffer(std::size_t input_size, std::size_t expected_size, std::size_t growth)
      : scratch_(
            std::make_unique_for_overwrite<char[]>(growth * std::min(input_size, kChunk) + 16)) {
    text_.reserve(expected_size);
  }
  char* Scratch() { return scratch_.get(); }
  void Append(const char* end) {
    text_.append(scratch_.get(), static_cast<std::size_t>(end - scratch_.get()));
  }
  std::string Take() && { return std::move(text_); }

 private:
  std::unique_ptr<char[]> scratch_;
  std::string text_;
};

// Runs of plain ASCII are copied eight bytes at a time. A word is plain when no byte has the
// high bit set and none is one of the bytes the loop must look at itself.
constexpr std::uint64_t kOnes = 0x0101010101010101;
constexpr std::uint64_t kHighBits = 0x8080808080808080;

constexpr bool HasZeroByte(std::uint64_t w) { return ((w - kOnes) & ~w & kHighBits) != 0; }
constexpr bool HasByte(std::uint64_t w, std::uint8_t b) { return HasZeroByte(w ^ (kOnes * b)); }

// For each byte of w: its high bit set if the byte is zero, else clear (exact, unlike
// HasZeroByte's carries).
constexpr std::uint64_t ZeroByteMarks(std::uint64_t w) {
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  return ~(((w & kLow7) + kLow7) | w | kLow7);
}

// The number of bytes of w whose high bit is set, given that no other bit is.
constexpr std::size_t SumOfMarks(std::uint64_t marks) { return ((marks >> 7) * kOnes) >> 56; }

std::size_t CountHighBytes(const std::uint8_t* p, std::size_t n) {
  std::size_t count = 0;
  std::size_t i = 0;
  for (; n - i >= 8; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    count += SumOfMarks(w & kHighBits);
  }
  for (; i < n; ++i) count += p[i] >> 7;
  return count;
}

std::size_t CountByte(const std::uint8_t* p, std::size_t n, std::uint8_t b) {
  std::size_t count = 0;
  std::size_t i = 0;
  for (; n - i >= 8; i += 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    count += SumOfMarks(ZeroByteMarks(w ^ (kOnes * b)));
  }
  for (; i < n; ++i) count += p[i] == b;
  return count;
}

template <typename IsPlainWord>
void CopyAsciiRun(const std::uint8_t* p, std::size_t& i, std::size_t end, char*& out,
                  IsPlainWord is_plain) {
  while (end - i >= 8) {
    std::uint64_t w;
    std::memcpy(&w, p + i, 8);
    if ((w & kHighBits) != 0 || !is_plain(w)) return;
    std::memcpy(out, p + i, 8);
    out += 8;
    i += 8;
  }
}

char32_t DecodeFourByte(const Tables& t, std::uint32_t linear) {
  if (linear < kBmpFourByteCount) return t.decode_four[linear];
  if (linear >= kNonBmpFourByteBase && linear - kNonBmpFourByteBase < 0x100000) {
    const char32_t c = 0x10000 + (linear - kNonBmpFourByteBase);
    return IsRawByteChar(c) ? 0 : c;  // a raw-byte character is written as its byte instead
  }
  return 0;
}

// The unit at p, whose first byte is a NUL or a high byte and which is no two-byte character:
// a four-byte code, the euro sign, or else a raw-byte character.
Unit DecodeRareUnit(const Tables& t, const std::uint8_t* p, std::size_t left) {
  if (left >= 4 && IsFourByteShape(p)) {
    if (const char32_t c = DecodeFourByte(t, FourByteLinear(p))) return {c, 4};
  }
  if (const char16_t c = t.decode_one[p[0]]) return {c, 1};
  return {RawByteChar(p[0]), 1};
}

template <bool kEditorLineEnds>
std::string Decode(std::string_view bytes) {
  const Tables& t = GetTables();
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  // NUL is not plain: the editor cannot hold it, so it becomes a raw-byte character.
  const auto is_plain = [](std::uint64_t w) {
    return !HasZeroByte(w) && !(kEditorLineEnds && HasByte(w, '\r'));
  };
  // A two-byte character becomes three bytes of UTF-8; a raw byte, at most 4.
  OutputBuffer buffer(n, n + CountHighBytes(p, n) / 2, 4);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t chunk_end = std::min(n, i + kChunk);
    char* out = buffer.Scratch();
    while (i < chunk_end) {
      CopyAsciiRun(p, i, chunk_end, out, is_plain);
      if (i == chunk_end) break;
      const std::uint8_t b = p[i];
      if (b != 0 && b < 0x80) {
        if (kEditorLineEnds && b == '\r') {
          *out++ = '\n';
          i += (i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        } else {
          *out++ = static_cast<char>(b);
          ++i;
        }
        continue;
      }
      if (i + 1 < n) {
        const Utf8Code& code = t.decode_two[std::uint32_t{b} << 8 | p[i + 1]];
        if (code.length != 0) {
          std::memcpy(out, &code, sizeof code);  // the padding byte is overwritten next
          out += code.length;
          i += 2;
          continue;
        }
      }
      const Unit unit = DecodeRareUnit(t, p + i, n - i);
      out = PutUtf8(out, unit.c);
      i += unit.length;
    }
    buffer.Append(out);
  }
  return std::move(buffer).Take();
}

// Writes the character c (read from the UTF-8 sequence `source`).
OSTRIVEL_HOT char* PutCp936(const Tables& t, char* out, char32_t c, const std::uint8_t* source,
                            std::size_t length) {
  if (IsRawByteChar(c)) {
    *out++ = static_cast<char>(c - kRawByteBase);
  } else if (c >= 0x10000) {
    out = PutFourByte(out, kNonBmpFourByteBase + (c - 0x10000));
  } else if (const std::uint32_t code = t.encode[c]; code == 0) {
    // Only if the C library lacks a table: keep the character's UTF-8 rather than drop it.
    std::memcpy(out, source, length);
    out += length;
  } else if (code < 0x100) {
    *out++ = static_cast<char>(code);
  } else if (code < kFourByteFlag) {
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
  } else {
    out = PutFourByte(out, code & ~kFourByteFlag);
  }
  return out;
}

template <bool kEditorLineEnds>
std::string Encode(std::string_view utf8) {
  const Tables& t = GetTables();
  const auto* p = reinterpret_cast<const std::uint8_t*>(utf8.data());
  const std::size_t n = utf8.size();
  const auto is_plain = [](std::uint64_t w) {
    return !(kEditorLineEnds && (HasByte(w, '\r') || HasByte(w, '\n')));
  };
  // Chinese shrinks from three bytes to two; "\n" grows to CR LF. At most 2 bytes out per
  // byte in (a line break, or U+0080..U+07FF as a four-byte code).
  OutputBuffer buffer(n, n + (kEditorLineEnds ? CountByte(p, n, '\n') : 0), 2);
  std::size_t i = 0;
  while (i < n) {
    const std::size_t chunk_end = std::min(n, i + kChunk);
    char* out = buffer.Scratch();
    while (i < chunk_end) {
      CopyAsciiRun(p, i, chunk_end, out, is_plain);
      if (i == chunk_end) break;
      const std::uint8_t b = p[i];
      if (b < 0x80) {
        if (kEditorLineEnds && (b == '\r' || b == '\n')) {
          *out++ = '\r';
          *out++ = '\n';
          i += (b == '\r' && i + 1 < n && p[i + 1] == '\n') ? 2 : 1;
        } else {
          *out++ = static_cast<char>(b);
          ++i;
        }
        continue;
      }
      if (b >= 0xE0 && b <= 0xEF && n - i >= 3) {
        // The common case of Chinese text: three bytes of UTF-8 to a two-byte code.
        const char32_t c =
            char32_t(b & 0x0F) << 12 | char32_t(p[i + 1] & 0x3F) << 6 | (p[i + 2] & 0x3F);
        const std::uint32_t code = t.encode[c];
        if (IsContinuation(p[i + 1]) && IsContinuation(p[i + 2]) && c >= 0x800 && !IsSurrogate(c) &&
            code >= 0x100 && code < kFourByteFlag) {
          *out++ = static_cast<char>(code >> 8);
          *out++ = static_cast<char>(code & 0xFF);
          i += 3;
          continue;
        }
      }
      const Unit unit = ReadUtf8(p + i, n - i);
      if (unit.length == 0) {  // not UTF-8: keep the byte as it is
        *out++ = static_cast<char>(b);
        ++i;
        continue;
      }
      out = PutCp936(t, out, unit.c, p + i, unit.length);
      i += unit.length;
    }
    buffer.Append(out);
  }
  return std::move(buffer).Take();
}

// ---------------------------------------------------------------------------------------------
// Other code pages, through iconv.

// The system code page of this program; Windows reads CP_ACP, CP_OEMCP and CP_THREAD_ACP as it.
constexpr int kSystemCodePage = 936;
constexpr int kFallbackCodePage = 1252;
constexpr int kUtf8CodePage = 65001;

// The iconv name of a Windows code page number; empty for one we do not know.
std::string IconvNameOf(int code_page) {
  switch (code_page) {
    case 708:
      return "ISO-8859-6";
    case 949:
      return "UHC";
    case 950:
      return "BIG5";
    case 1361:
      return "JOHAB";
    case 10000:
      return "MACINTOSH";
    case 10001:
      return "SHIFT_JIS";  // Mac Japanese, nearest system table
    case 10002:
      return "BIG5";  // Mac Traditional Chinese
    case 10003:
      return "EUC-KR";  // Mac Korean
    case 10007:
      return "MAC-CYRILLIC";
    case 10008:
      return "EUC-CN";  // Mac Simplified Chinese
    case 10017:
      return "MACUKRAINIAN";
    case 10029:
      return "MAC-CENTRALEUROPE";
    case 10079:
      return "MAC-IS";
    case 20127:
      return "ASCII";
    case 20866:
      return "KOI8-R";
    case 20932:
      return "EUC-JP";
    case 20936:
      return "GB2312";
    case 21866:
      return "KOI8-U";
    case 51932:
      return "EUC-JP";
    case 51936:
      return "EUC-CN";
    case 51949:
      return "EUC-KR";
    case 54936:
      return "GB18030";
    default:
      break;
  }
  if (code_page >= 28591 && code_page <= 28599)
    return "ISO-8859-" + std::to_string(code_page - 28590);
  if (code_page == 28603 || code_page == 28605)
    return "ISO-8859-" + std::to_string(code_page - 28590);
  // Windows numbers its OEM, ANSI and EBCDIC pages as IBM does, and so does iconv (CP1252,
  // CP932, CP874, CP437, CP850, CP037...).
  if (code_page > 0 && code_page < 10000) return "CP" + std::to_string(code_page);
  return {};
}

// UTF-8 (code page 65001) is checked here rather than by iconv, whose UTF-8 decoder lets
// values above U+10FFFF through: well-formed sequences are kept, every other byte and NUL
// become raw-byte characters.
std::string DecodeUtf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::size_t n = bytes.size();
  std::string text;
  text.reserve(n);
  for (std::size_t i = 0; i < n;) {
    if (p[i] != 0 && p[i] < 0x80) {
      text.push_back(static_cast<char>(p[i++]));
      continue;
    }
    const Unit unit = ReadUtf8(p + i, n - i);
    if (unit.length == 0) {
      AppendUtf8(text, RawByteChar(p[i++]));
    } else {
      text.append(bytes.substr(i, unit.length));
      i += unit.length;
    }
  }
  return text;
}

// Decoders per code page, opened on first use and kept. All use of them is under one lock, so
// CodePageToUtf8 may be called from any thread.
class CodePageDecoders {
 public:
  static CodePageDecoders& Instance() {
    static CodePageDecoders decoders;
    return decoders;
  }

  std::string Decode(std::string_view bytes, int code_page) {
    const std::lock_guard lock(mutex_);
    IconvHandle* decoder = Find(code_page);
    if (decoder == nullptr) decoder = Find(kFallbackCodePage);
    return DecodeWith(decoder, bytes);
  }

 private:
  // The open decoder for code_page, or null if the system cannot convert it.
  IconvHandle* Find(int code_page) {
    auto found = decoders_.find(code_page);
    if (found == decoders_.end()) {
      const std::string name = IconvNameOf(code_page);
      IconvHandle handle = name.empty() ? IconvHandle() : IconvHandle("UTF-8", name.c_str());
      found = decoders_.emplace(code_page, std::move(handle)).first;
    }
    return found->second.valid() ? &found->second : nullptr;
  }

  // Converts up to each NUL (the editor cannot hold one) and over each byte iconv refuses;
  // both become raw-byte characters. Without a decoder only ASCII is taken as text.
  static std::string DecodeWith(IconvHandle* decoder, std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    char* in = const_cast<char*>(bytes.data());  // iconv's signature; the input is not written
    char* const end = in + bytes.size();
    while (in < end) {
      const auto byte = static_cast<std::uint8_t>(*in);
      if (byte == 0 || (decoder == nullptr && byte >= 0x80)) {
        AppendUtf8(text, RawByteChar(byte));
        ++in;
      } else if (decoder == nullptr) {
        text.push_back(*in++);
      } else {
        char* const segment_end = std::find(in, end, '\0');
        ConvertSegment(*decoder, in, segment_end, text);
        in = segment_end;
      }
    }
    return text;
  }

  static void ConvertSegment(IconvHandle& decoder, char* in, char* const end, std::string& text) {
    std::array<char, 4096> chunk;
    decoder.Reset();
    while (in < end) {
      std::size_t in_left = static_cast<std::size_t>(end - in);
      char* out = chunk.data();
      std::size_t out_left = chunk.size();
      const std::size_t result = decoder.Convert(&in, &in_left, &out, &out_left);
      const int error = errno;
      text.append(chunk.data(), out);
      if (result == static_cast<std::size_t>(-1) && error != E2BIG) {
        // EILSEQ or EINVAL: this byte starts nothing the code page defines.
        AppendUtf8(text, RawByteChar(static_cast<std::uint8_t>(*in)));
        ++in;
        decoder.Reset();
      }
    }
    char* out = chunk.data();
    std::size_t out_left = chunk.size();
    decoder.Convert(nullptr, nullptr, &out, &out_left);  // a pending shift state, if any
    text.append(chunk.data(), out);
  }

  std::mutex mutex_;
  std::unordered_map<int, IconvHandle> decoders_;
};

#undef OSTRIVEL_HOT

}  // namespace

std::string Cp936ToUtf8(std::string_view bytes) { return Decode<false>(bytes); }

std::string Utf8ToCp936(std::string_view utf8) { return Encode<false>(utf8); }

std::string EditorTextToBytes(std::string_view utf8) { return Encode<true>(utf8); }

std::string BytesToEditorText(std::string_view bytes) { return Decode<true>(bytes); }

std::string CodePageToUtf8(std::string_view bytes, int code_page) {
  if (code_page == 0 || code_page == 1 || code_page == 3) code_page = kSystemCodePage;
  if (code_page == kSystemCodePage) return Cp936ToUtf8(bytes);
  if (code_page == kUtf8CodePage) return DecodeUtf8(bytes);
  return CodePageDecoders::Instance().Decode(bytes, code_page);
}

}  // namespace ostrivel::codepage
