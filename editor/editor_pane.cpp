#include "editor/editor_pane.h"

#include <gtksourceview/gtksource.h>

#include <cstdio>
#include <map>

#include "codepage/codepage.h"
#include "editor/rtf_reader.h"

namespace ostrivel {
namespace {

// Song-style faces for "宋体" where it is not installed.
constexpr const char* kFontFamilies =
    "\"宋体\", \"SimSun\", \"NSimSun\", \"Noto Serif CJK SC\", \"Source Han Serif SC\", "
    "\"AR PL UMing CN\", \"AR PL SungtiL GB\", serif";

std::string CssColor(std::uint32_t color) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
  return text;
}

// The editor's text as RTF, for the rich-text content format: characters outside ASCII as
// \uN with a "?" fallback, line breaks as \par.
std::string TextAsRtf(const Glib::ustring& text) {
  std::string rtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0\\fcharset134 \\'cb\\'ce\\'cc\\'e5;}}\\uc1\\f0\\fs18 ";
  for (gunichar c : text) {
    if (c == '\n') {
      rtf += "\\par\n";
    } else if (c == '\t') {
      rtf += "\\tab ";
    } else if (c == '\\' || c == '{' || c == '}') {
      rtf += '\\';
      rtf += static_cast<char>(c);
    } else if (c < 0x80) {
      rtf += static_cast<char>(c);
    } else if (c < 0x10000) {
      rtf += "\\u" + std::to_string(static_cast<std::int16_t>(c)) + "?";
    } else {  // a surrogate pair
      const gunichar v = c - 0x10000;
      rtf += "\\u" + std::to_string(static_cast<std::int16_t>(0xD800 + (v >> 10))) + "?";
      rtf += "\\u" + std::to_string(static_cast<std::int16_t>(0xDC00 + (v & 0x3FF))) + "?";
    }
  }
  rtf += "}";
  return rtf;
}

// Keeps the buffer's modified flag across a replacement.
class ModifiedFlagKeeper {
 public:
  explicit ModifiedFlagKeeper(Glib::RefPtr<Gtk::TextBuffer> buffer)
      : buffer_(std::move(buffer)), modified_(buffer_->get_modified()) {}
  ~ModifiedFlagKeeper() { buffer_->set_modified(modified_); }

 private:
  Glib::RefPtr<Gtk::TextBuffer> buffer_;
  bool modified_;
};

}  // namespace

EditorPane::EditorPane(EditorSettings settings) : settings_(std::move(settings)) {
  GtkSourceBuffer* source_buffer = gtk_source_buffer_new(nullptr);
  if (!source_buffer) throw std::runtime_error("无法创建编辑框的文本缓冲区");
  gtk_source_buffer_set_highlight_syntax(source_buffer, FALSE);
  gtk_source_buffer_set_highlight_matching_brackets(source_buffer, FALSE);
  buffer_ = Glib::wrap(GTK_TEXT_BUFFER(source_buffer));  // takes the reference
  GtkWidget* source_view = gtk_source_view_new_with_buffer(source_buffer);
  if (!source_view) throw std::runtime_error("无法创建编辑框");
  view_ = Gtk::manage(Glib::wrap(GTK_TEXT_VIEW(source_view)));
  view_->set_name("editor");
  scroller_.add(*view_);

  const bool multi_line = settings_.allow_multi_lines;
  view_->set_wrap_mode(multi_line && settings_.auto_next_line ? Gtk::WRAP_WORD_CHAR : Gtk::WRAP_NONE);
  scroller_.set_policy(multi_line && !settings_.auto_next_line ? Gtk::POLICY_AUTOMATIC : Gtk::POLICY_NEVER,
                       multi_line ? Gtk::POLICY_AUTOMATIC : Gtk::POLICY_NEVER);
  view_->set_accepts_tab(true);
  view_->set_editable(!settings_.read_only);
  view_->set_left_margin(2);
  view_->set_right_margin(2);

  raw_byte_tag_ = buffer_->create_tag("raw-byte");
  raw_byte_tag_->property_background() = "#ffd75f";
  raw_byte_tag_->property_foreground() = "#a00000";

  ApplyFontAndColors();
  {
    // The initial content is no user action: nothing to undo, no change reported.
    gtk_source_buffer_begin_not_undoable_action(source_buffer);
    if (settings_.content_type() == ContentType::Rtf)
      ReplaceWithRtf(settings_.content());
    else
      ReplaceBufferText(codepage::BytesToEditorText(settings_.content()));
    gtk_source_buffer_end_not_undoable_action(source_buffer);
  }
  ApplySelection();
  ApplyBorder();
  ConnectSignals();
  buffer_->set_modified(false);
  scroller_.show_all();
}

EditorPane::~EditorPane() {
  for (auto& connection : connections_) connection.disconnect();
}

void EditorPane::ConnectSignals() {
  connections_.push_back(buffer_->signal_changed().connect([this] { content_changed_.emit(); }));
  connections_.push_back(buffer_->signal_mark_set().connect(
      [this](const Gtk::TextBuffer::iterator&, const Glib::RefPtr<Gtk::TextBuffer::Mark>& mark) {
        if (mark == buffer_->get_insert() || mark == buffer_->get_selection_bound()) selection_changed_.emit();
      }));
  if (settings_.max_allow_length() > 0) {
    // The user may not type past the limit; whole-content replacements are not limited.
    connections_.push_back(buffer_->signal_insert().connect(
        [this](const Gtk::TextBuffer::iterator&, const Glib::ustring& text, int) {
          const auto length = static_cast<int>(buffer_->get_char_count() + text.size());
          if (length > settings_.max_allow_length() && view_->has_focus())
            g_signal_stop_emission_by_name(buffer_->gobj(), "insert-text");
        },
        /*after=*/false));
  }
  if (!settings_.allow_multi_lines) {
    connections_.push_back(view_->signal_key_press_event().connect(
        [](GdkEventKey* event) { return event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter; },
        false));
  }
}

void EditorPane::ApplyFontAndColors() {
  if (!css_) {
    css_ = Gtk::CssProvider::create();
    view_->get_style_context()->add_provider(css_, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  }
  std::string css = std::string("textview { font-family: ") + kFontFamilies + "; font-size: 9pt; }\n";
  if (settings_.back_color() != kDefaultColor)
    css += "textview text { background-color: " + CssColor(settings_.back_color()) + "; }\n";
  if (settings_.hide_selection)
    css += "textview:not(:focus) text selection { background-color: transparent; color: inherit; }\n";
  css_->load_from_data(css);
}

void EditorPane::ApplyBorder() {
  static constexpr Gtk::ShadowType kShadows[] = {Gtk::SHADOW_NONE, Gtk::SHADOW_IN, Gtk::SHADOW_OUT,
                                                 Gtk::SHADOW_ETCHED_IN, Gtk::SHADOW_IN, Gtk::SHADOW_ETCHED_OUT};
  scroller_.set_shadow_type(kShadows[static_cast<int>(settings_.border())]);
}

void EditorPane::ApplySelection() {
  if (settings_.sel_length() < 0) {
    buffer_->select_range(buffer_->begin(), buffer_->end());
    return;
  }
  const int start = settings_.sel_start();
  buffer_->select_range(buffer_->get_iter_at_offset(start + settings_.sel_length()),
                        buffer_->get_iter_at_offset(start));
}

void EditorPane::SetBackColor(std::uint32_t color) {
  settings_.set_back_color(color);
  ApplyFontAndColors();
}

bool EditorPane::Modified() const { return buffer_->get_modified(); }

std::string EditorPane::Content() const {
  const Glib::ustring text = buffer_->get_text(buffer_->begin(), buffer_->end(), /*include_hidden_chars=*/true);
  if (settings_.content_type() == ContentType::Rtf) return TextAsRtf(text);
  return codepage::EditorTextToBytes(text.raw());
}

void EditorPane::ClearDocumentTags() {
  auto table = buffer_->get_tag_table();
  for (auto& tag : document_tags_) table->remove(tag);
  document_tags_.clear();
}

void EditorPane::ReplaceBufferText(const std::string& utf8) {
  ClearDocumentTags();
  buffer_->set_text(utf8);
  buffer_->place_cursor(buffer_->begin());
  MarkRawBytes(utf8);
}

// Bytes that were not text when loaded are shown highlighted, so the user sees that the
// file holds something unusual there; they are written back unchanged.
void EditorPane::MarkRawBytes(const std::string& utf8) {
  // UTF-8 of the raw-byte characters starts with F4 8F B8..BB.
  if (utf8.find("\xF4\x8F") == std::string::npos) return;
  int offset = 0;
  for (gunichar c : Glib::ustring(utf8)) {
    if (codepage::IsRawByteChar(c))
      buffer_->apply_tag(raw_byte_tag_, buffer_->get_iter_at_offset(offset), buffer_->get_iter_at_offset(offset + 1));
    ++offset;
  }
}

void EditorPane::ReplaceWithPlainText(std::string_view bytes) {
  ModifiedFlagKeeper keep(buffer_);
  buffer_->begin_user_action();
  ReplaceBufferText(codepage::BytesToEditorText(bytes));
  buffer_->end_user_action();
}

void EditorPane::ReplaceWithRtf(std::string_view rtf) { ReplaceWithDocument(ReadRtf(rtf)); }

void EditorPane::ReplaceWithDocument(const RtfDocument& document) {
  ModifiedFlagKeeper keep(buffer_);
  buffer_->begin_user_action();
  ReplaceBufferText(document.PlainText());

  auto table = buffer_->get_tag_table();
  std::vector<std::pair<RtfCharFormat, Glib::RefPtr<Gtk::TextTag>>> tags;
  auto tag_for = [&](const RtfCharFormat& format) {
    for (auto& [known, tag] : tags)
      if (known == format) return tag;
    auto tag = Gtk::TextTag::create();
    if (!format.font_family.empty()) tag->property_family() = format.font_family;
    tag->property_size_points() = format.size_half_points / 2.0;
    if (format.bold) tag->property_weight() = Pango::WEIGHT_BOLD;
    if (format.italic) tag->property_style() = Pango::STYLE_ITALIC;
    if (format.underline) tag->property_underline() = Pango::UNDERLINE_SINGLE;
    if (format.strike) tag->property_strikethrough() = true;
    if (format.color) tag->property_foreground() = CssColor(*format.color);
    if (format.background) tag->property_background() = CssColor(*format.background);
    if (format.is_protected) tag->property_editable() = false;
    table->add(tag);
    document_tags_.push_back(tag);
    tags.emplace_back(format, tag);
    return tag;
  };
  // One iterator walks the runs: tags change no characters, so it stays usable.
  auto start = buffer_->begin();
  for (const RtfRun& run : document.runs) {
    const int length = static_cast<int>(g_utf8_strlen(run.text.data(), static_cast<gssize>(run.text.size())));
    auto end = start;
    end.forward_chars(length);
    buffer_->apply_tag(tag_for(run.format), start, end);
    start = end;
  }
  buffer_->end_user_action();
}

}  // namespace ostrivel
