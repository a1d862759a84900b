#include "preview/caption.h"

namespace ostrivel {

std::string JoinTexts(std::initializer_list<std::string_view> texts) {
  std::size_t length = 0;
  for (std::string_view text : texts) length += text.size();
  std::string joined;
  joined.reserve(length);
  for (std::string_view text : texts) joined += text;
  return joined;
}

}  // namespace ostrivel
