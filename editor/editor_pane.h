// The editor pane "超级编辑框1": a source view whose whole text reads as code page 936 bytes
// with CR LF line ends, and whose content can be replaced from plain text or RTF.
#pragma once

#include <gtkmm/cssprovider.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "editor/editor_settings.h"

namespace ostrivel {

struct RtfDocument;

class EditorPane {
 public:
  // Builds the editor with its settings applied; throws std::runtime_error when the edit
  // control cannot be made.
  explicit EditorPane(EditorSettings settings);
  ~EditorPane();
  EditorPane(const EditorPane&) = delete;
  EditorPane& operator=(const EditorPane&) = delete;

  // The pane as placed in the window (its frame and scroll bar included).
  Gtk::Widget& widget() { return scroller_; }
  // The text view inside, which takes the focus.
  Gtk::TextView& view() { return *view_; }

  // "内容": the whole text, in the format of "内容格式" (plain text: code page 936 bytes,
  // every line break as CR LF). Read anew every time.
  std::string Content() const;

  // "背景颜色": 0xFF000000 is the theme's own background.
  void SetBackColor(std::uint32_t color);
  std::uint32_t BackColor() const { return settings_.back_color(); }

  // Replace the whole content. Neither changes "内容格式" nor the modified flag; each is one
  // step the user can undo.
  void ReplaceWithPlainText(std::string_view bytes);
  void ReplaceWithRtf(std::string_view rtf);
  void ReplaceWithDocument(const RtfDocument& document);

  bool Modified() const;
  const EditorSettings& settings() const { return settings_; }

  sigc::signal<void()>& signal_content_changed() { return content_changed_; }
  sigc::signal<void()>& signal_selection_changed() { return selection_changed_; }

 private:
  void ApplyFontAndColors();
  void ApplyBorder();
  void ApplySelection();
  void ReplaceBufferText(const std::string& utf8);
  void MarkRawBytes(const std::string& utf8);
  void ClearDocumentTags();
  void ConnectSignals();

  EditorSettings settings_;
  Gtk::ScrolledWindow scroller_;
  Gtk::TextView* view_ = nullptr;  // owned by scroller_
  Glib::RefPtr<Gtk::TextBuffer> buffer_;
  Glib::RefPtr<Gtk::CssProvider> css_;
  Glib::RefPtr<Gtk::TextTag> raw_byte_tag_;
  std::vector<Glib::RefPtr<Gtk::TextTag>> document_tags_;  // tags of the last RTF document
  sigc::signal<void()> content_changed_;
  sigc::signal<void()> selection_changed_;
  std::vector<sigc::connection> connections_;
};

}  // namespace ostrivel
