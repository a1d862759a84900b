// The filter lists of the open and save dialogs, as pairs of a label and patterns.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "editor/text_converters.h"

namespace ostrivel {

struct FileFilter {
  std::string label;     // code page 936 text, as shown
  std::string patterns;  // "*.htm;*.html"
  bool operator==(const FileFilter&) const = default;
};

// A "label|patterns|label|patterns" string as the save dialog stores it: white space is
// removed from its end, and every "|" separates (except the second byte of a two-byte
// character); the list ends at the first pair with an
// empty label or empty patterns, so an incomplete last pair is dropped. An empty or blank
// string gives no filters at all.
std::vector<FileFilter> ParseFilterString(std::string_view filter);

// The open dialog's list: "RTF文件 (*.rtf)", one entry per import converter ("name (*.a;*.b)"),
// "文本文档 (*.txt)", "所有文件 (*.*)".
struct OpenFilterList {
  std::vector<FileFilter> filters;
  std::vector<int> converter_index;  // per filter: index into the converter list, or -1
};
OpenFilterList BuildOpenFilters(const std::vector<TextConverter>& converters);

// The patterns of a filter as single glob patterns: "*.htm;*.html" -> {"*.htm", "*.html"}.
std::vector<std::string> SplitPatterns(std::string_view patterns);

// A typed name that has no extension gets ".<ext>" (the extension test looks at the last
// path component only: "dir.v2/page" -> "dir.v2/page.htm"). A name with a "." anywhere,
// including a trailing one ("page." stays "page."), a path ending in "/" and an empty default
// extension are left unchanged.
std::string AddDefaultExtension(const std::string& path, std::string_view default_extension);

}  // namespace ostrivel
