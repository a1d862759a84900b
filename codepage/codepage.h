// Conversion between the program's texts (code page 936 bytes) and the toolkit's UTF-8.
//
// Both directions are lossless:
//  - every character that code page 936 holds becomes exactly its code page 936 bytes
//    (0x80 is the euro sign); any other character becomes its GB18030 code (four bytes; two
//    for the few GB18030 two-byte codes that code page 936 leaves undefined), which browsers
//    decode because they read the GBK label with the GB18030 decoder;
//  - a byte that is not part of a valid code page 936 (or GB18030 four-byte) sequence is
//    decoded to a "raw byte" character, RawByteChar(b), which encodes back to that byte.
//    A decoded sequence is accepted only if it encodes back to the same bytes, so
//    Encode(Decode(x)) == x for every byte string x. NUL is decoded as RawByteChar(0) too,
//    because the editor's buffer cannot hold U+0000; it still encodes back to 0x00.
//
// Code page 936 is the C library's CP936 table (0x80 is U+20AC, as in Windows). Where it leaves
// a two-byte code undefined, GB18030's character for it is taken (the user-defined areas map to
// U+E000.., as Windows has them). Characters beyond the BMP always get their GB18030 four-byte
// code. The tables are built from iconv on first use (a few milliseconds, thread-safe); the
// conversions themselves are table loops, one or two milliseconds per megabyte.
//
// Every function here may be called from any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ostrivel::codepage {

// Raw bytes live in the last plane's private use area, where no text a user types ends up.
inline constexpr char32_t kRawByteBase = 0x10FE00;
constexpr char32_t RawByteChar(std::uint8_t byte) { return kRawByteBase + byte; }
constexpr bool IsRawByteChar(char32_t c) { return c >= kRawByteBase && c <= kRawByteBase + 0xFF; }

// Code page 936 bytes -> UTF-8 (invalid bytes as raw-byte characters). Line ends untouched.
std::string Cp936ToUtf8(std::string_view bytes);

// UTF-8 -> code page 936 bytes (GB18030 for what code page 936 lacks, raw-byte characters as
// their byte). Invalid UTF-8 input bytes are kept as they are. Line ends untouched.
std::string Utf8ToCp936(std::string_view utf8);

// The editor's text (UTF-8, "\n" line breaks) -> the bytes a read of the editor gives:
// every line break ("\r\n", lone "\r" or lone "\n") becomes CR LF.
std::string EditorTextToBytes(std::string_view utf8);

// Plain-text bytes -> the editor's text: decoded as above, with CR LF, a lone CR and a lone LF
// each becoming one "\n".
std::string BytesToEditorText(std::string_view bytes);

// Bytes in a Windows code page (as RTF documents name them: 936, 1252, 950, 932, 949, 1251...)
// -> UTF-8, line ends untouched. Code page 936 (and 0, 1 and 3, Windows' names for the system
// code page) goes through Cp936ToUtf8; 65001 is UTF-8; others go through iconv (CP<n>, BIG5,
// UHC, MACINTOSH...), whose descriptors are kept per code page behind a lock. A code page the
// system cannot convert falls back to 1252. Bytes that do not decode, and NUL, become raw-byte
// characters. A multi-byte code page needs the whole byte run in one call.
std::string CodePageToUtf8(std::string_view bytes, int code_page);

}  // namespace ostrivel::codepage
