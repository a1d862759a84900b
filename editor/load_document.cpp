#include "editor/load_document.h"

#include <unistd.h>

#include <cerrno>
#include <new>
#include <stdexcept>
#include <sstream>

#include "editor/converter_host.h"
#include "editor/document_file.h"

namespace ostrivel {
namespace {

enum class DocumentKind { Rtf, PlainText, Open };

DocumentKind KindOf(std::string_view extension) {
  if (extension == "rtf") return DocumentKind::Rtf;
  if (extension == "txt") return DocumentKind::PlainText;
  return DocumentKind::Open;
}

bool ListsExtension(const TextConverter& converter, const std::string& extension) {
  std::istringstream words(converter.extensions);
  for (std::string word; words >> word;) {
    if (word == extension) return true;
  }
  return false;
}

// The import converter that claims the extension and accepts the file, the first in list
// order; -1 when none does.
int FindConverterByExtension(const std::string& path, const std::string& extension,
                             const std::vector<TextConverter>& converters,
                             const ConverterRunner& runner) {
  for (std::size_t i = 0; i < converters.size(); ++i) {
    const TextConverter& converter = converters[i];
    if (converter.direction != ConverterDirection::Import) continue;
    if (ListsExtension(converter, extension) && runner.accepts(converter.path, path)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

LoadResult ConvertInto(std::string& buffer, const std::string& path,
                       const TextConverter& converter, const ConverterRunner& runner) {
  auto rtf = runner.convert(converter.path, path);
  if (!rtf) return LoadResult::Nothing;
  buffer = std::move(*rtf);
  return LoadResult::Rtf;
}

// Reads to the end of `fd` in one go: the size known from opening is read at once, and
// whatever the file grew by meanwhile is read after it.
bool ReadAll(int fd, std::size_t expected_size, std::string& buffer) {
  constexpr std::size_t kGrowth = 65536;
  buffer.resize(expected_size + kGrowth);
  std::size_t filled = 0;
  for (;;) {
    if (filled == buffer.size()) buffer.resize(buffer.size() * 2);
    const ssize_t count = ::read(fd, buffer.data() + filled, buffer.size() - filled);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) return false;
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  buffer.resize(filled);
  return true;
}

bool ReadWholeDocument(const std::string& path, std::string& buffer) {
  auto document = OpenDocumentForReading(path);
  if (!document) return false;
  try {
    return ReadAll(document->fd.Get(), static_cast<std::size_t>(document->size), buffer);
  } catch (const std::bad_alloc&) {  // a load buffer that cannot grow loads nothing
  } catch (const std::length_error&) {
  }
  buffer.clear();
  return false;
}

}  // namespace

ConverterRunner ConverterRunner::System() {
  return {
      .accepts = ConverterAcceptsFile,
      .convert = [](const std::string& converter,
                    const std::string& document) { return ConvertToRtf(converter, document); },
  };
}

std::string DocumentExtension(const std::string& path) {
  const auto dot = path.rfind('.');
  if (dot == std::string::npos) return {};
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return extension;
}

LoadResult LoadDocument(std::string& buffer, const std::string& path, int converter_index,
                        const std::vector<TextConverter>& converters,
                        const ConverterRunner& runner) {
  buffer.clear();
  if (path.empty()) return LoadResult::Nothing;
  const std::string extension = DocumentExtension(path);
  const DocumentKind kind = KindOf(extension);

  // The converter whose filter the user chose is asked first; if it refuses, it is forgotten.
  if (converter_index >= 0 && static_cast<std::size_t>(converter_index) < converters.size()) {
    const TextConverter& chosen = converters[static_cast<std::size_t>(converter_index)];
    if (runner.accepts(chosen.path, path)) return ConvertInto(buffer, path, chosen, runner);
  }
  if (kind == DocumentKind::Open && !extension.empty()) {
    const int found = FindConverterByExtension(path, extension, converters, runner);
    if (found >= 0) {
      return ConvertInto(buffer, path, converters[static_cast<std::size_t>(found)], runner);
    }
  }

  if (!ReadWholeDocument(path, buffer) || buffer.empty()) {
    buffer.clear();
    return LoadResult::Nothing;
  }
  return kind == DocumentKind::Rtf ? LoadResult::Rtf : LoadResult::PlainText;
}

}  // namespace ostrivel
