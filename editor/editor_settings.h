// The editor's settings with their defaults and ranges; values written are clamped.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace ostrivel {

inline constexpr std::uint32_t kDefaultColor = 0xFF000000;  // the toolkit's own colour

// The empty page the editor starts with: 74 bytes, CR LF line ends, none after the last line.
inline constexpr std::string_view kStarterSkeleton =
    "<html>\r\n\r\n<head>\r\n<title></title>\r\n</head>\r\n\r\n<body>\r\n\r\n</body>\r\n\r\n</html>";

enum class ContentType { PlainText = 0, Rtf = 1 };

// Frames: 0 none, 1 sunken, 2 raised, 3 thin sunken, 4 sunken and raised, 5 single line.
enum class EditorBorder { None = 0, Sunken = 1, Raised = 2, ThinSunken = 3, Framed = 4, SingleLine = 5 };

class EditorSettings {
 public:
  ContentType content_type() const { return content_type_; }
  void set_content_type(int value) { content_type_ = static_cast<ContentType>(std::clamp(value, 0, 1)); }

  const std::string& content() const { return content_; }
  void set_content(std::string value) { content_ = std::move(value); }

  EditorBorder border() const { return border_; }
  void set_border(int value) { border_ = static_cast<EditorBorder>(std::clamp(value, 0, 5)); }

  std::uint32_t back_color() const { return back_color_; }
  void set_back_color(std::uint32_t value) { back_color_ = value; }

  bool allow_multi_lines = true;
  bool auto_next_line = true;
  bool read_only = false;
  bool hide_selection = true;

  int max_allow_length() const { return max_allow_length_; }
  void set_max_allow_length(int value) { max_allow_length_ = std::max(value, 0); }

  int sel_start() const { return sel_start_; }
  void set_sel_start(int value) { sel_start_ = std::max(value, 0); }

  int sel_length() const { return sel_length_; }
  void set_sel_length(int value) { sel_length_ = std::max(value, -1); }

  // What the main window stores for "超级编辑框1".
  static EditorSettings MainEditor() {
    EditorSettings settings;
    settings.set_content(std::string(kStarterSkeleton));
    settings.set_border(static_cast<int>(EditorBorder::ThinSunken));
    return settings;
  }

 private:
  ContentType content_type_ = ContentType::PlainText;
  std::string content_;
  EditorBorder border_ = EditorBorder::Sunken;
  std::uint32_t back_color_ = kDefaultColor;
  int max_allow_length_ = 0;
  int sel_start_ = 0;
  int sel_length_ = 0;
};

}  // namespace ostrivel
