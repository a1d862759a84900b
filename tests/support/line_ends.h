// The line-end rule the editor's text follows, written from the rule itself and not from the
// program's conversion code, so that tests and fuzzers can check the program against it.
#pragma once

#include <string>
#include <string_view>

namespace ostrivel::testing {

// CR LF, a lone CR and a lone LF each become CR LF; every other byte stays as it is.
inline std::string WithCrLfLineEnds(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' || c == '\n') {
      out += "\r\n";
      if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;  // CR LF is one line end
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace ostrivel::testing
