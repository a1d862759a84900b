#include "editor/file_filters.h"

#include <algorithm>
#include <sstream>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

bool IsAsciiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view TrimEnd(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsAsciiSpace(text.front())) text.remove_prefix(1);
  return TrimEnd(text);
}

std::vector<std::string_view> SplitAt(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    const auto at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool IsCp936LeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Splits a code page 936 text at `separator`, which the second byte of a two-byte character
// may equal without being one.
std::vector<std::string_view> SplitCp936At(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsCp936LeadByte(text[i])) {
      ++i;
    } else if (text[i] == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(text.substr(std::min(start, text.size())));
  return parts;
}

// "doc wpd" -> "*.doc;*.wpd"
std::string PatternsFor(const TextConverter& converter) {
  std::istringstream words(converter.extensions);
  std::string patterns;
  for (std::string word; words >> word;) {
    if (!patterns.empty()) patterns += ';';
    patterns += "*." + word;
  }
  return patterns;
}

}  // namespace

std::vector<FileFilter> ParseFilterString(std::string_view filter) {
  const std::string_view trimmed = TrimEnd(filter);
  if (trimmed.empty()) return {};
  std::string terminated(trimmed);
  if (!terminated.ends_with("||")) terminated += "||";
  // The list ends at the first pair whose label or pattern is empty.
  const auto parts = SplitCp936At(terminated, '|');
  std::vector<FileFilter> filters;
  for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].empty() || parts[i + 1].empty()) break;
    filters.push_back({std::string(parts[i]), std::string(parts[i + 1])});
  }
  return filters;
}

OpenFilterList BuildOpenFilters(const std::vector<TextConverter>& converters) {
  OpenFilterList list;
  auto add = [&list](std::string label, std::string patterns, int converter_index) {
    list.filters.push_back({std::move(label), std::move(patterns)});
    list.converter_index.push_back(converter_index);
  };
  add(codepage::Utf8ToCp936("RTF文件 (*.rtf)"), "*.rtf", -1);
  for (std::size_t i = 0; i < converters.size(); ++i) {
    const TextConverter& converter = converters[i];
    if (converter.direction != ConverterDirection::Import) continue;
    std::string patterns = PatternsFor(converter);
    // Extensions are file-name bytes (UTF-8); the label is a code page 936 text.
    std::string label = converter.name + " (" + codepage::Utf8ToCp936(patterns) + ")";
    add(std::move(label), std::move(patterns), static_cast<int>(i));
  }
  add(codepage::Utf8ToCp936("文本文档 (*.txt)"), "*.txt", -1);
  add(codepage::Utf8ToCp936("所有文件 (*.*)"), "*.*", -1);
  return list;
}

std::vector<std::string> SplitPatterns(std::string_view patterns) {
  std::vector<std::string> split;
  for (std::string_view pattern : SplitAt(patterns, ';')) {
    pattern = Trim(pattern);
    if (!pattern.empty()) split.emplace_back(pattern);
  }
  return split;
}

std::string AddDefaultExtension(const std::string& path, std::string_view default_extension) {
  if (default_extension.empty()) return path;
  const auto slash = path.rfind('/');
  const std::string_view name = slash == std::string::npos
                                    ? std::string_view(path)
                                    : std::string_view(path).substr(slash + 1);
  // A name with a "." anywhere has an extension; one that ends in "." was typed that way on
  // purpose (the usual way to ask for no extension) and is kept as it is.
  if (name.empty() || name.find('.') != std::string_view::npos) return path;
  return path + "." + std::string(default_extension);
}

}  // namespace ostrivel
