// Reading a document into a load buffer: which converter, RTF or plain text.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor/text_converters.h"

namespace ostrivel {

enum class LoadResult { Nothing, Rtf, PlainText };

// The converter calls LoadDocument makes; tests replace them.
struct ConverterRunner {
  std::function<bool(const std::string& converter, const std::string& document)> accepts;
  std::function<std::optional<std::string>(const std::string& converter,
                                           const std::string& document)> convert;
  static ConverterRunner System();
};

// The extension rule: the part of the whole path after its last ".", lower-cased; empty when
// there is no "." or nothing follows it.
std::string DocumentExtension(const std::string& path);

// Fills `buffer` with the document's bytes (raw file bytes, or RTF from a converter) and
// says how they are to be loaded. `converter_index` is the converter whose filter the user
// chose, or -1.
LoadResult LoadDocument(std::string& buffer, const std::string& path, int converter_index,
                        const std::vector<TextConverter>& converters,
                        const ConverterRunner& runner = ConverterRunner::System());

}  // namespace ostrivel
