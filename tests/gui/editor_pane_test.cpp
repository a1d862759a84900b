#include "editor/editor_pane.h"

#include <gtest/gtest.h>
#include <gtkmm/window.h>

#include "codepage/codepage.h"
#include "gui_test_support.h"

namespace ostrivel {
namespace {

std::string Gbk(std::string_view utf8) { return codepage::Utf8ToCp936(utf8); }

class EditorPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    editor_ = std::make_unique<EditorPane>(EditorSettings::MainEditor());
    window_.add(editor_->widget());
    window_.set_default_size(400, 300);
    window_.show_all();
    testing::Flush();
  }
  Glib::RefPtr<Gtk::TextBuffer> buffer() { return editor_->view().get_buffer(); }

  Gtk::Window window_;
  std::unique_ptr<EditorPane> editor_;
};

TEST_F(EditorPaneTest, StartsWithTheSkeletonUnmodifiedAndReadsItBackExactly) {
  EXPECT_EQ(editor_->Content(), std::string(kStarterSkeleton));
  EXPECT_EQ(editor_->Content().size(), 74u);
  EXPECT_FALSE(editor_->Modified());
  EXPECT_EQ(editor_->view().get_wrap_mode(), Gtk::WRAP_WORD_CHAR);
  auto it = buffer()->get_iter_at_mark(buffer()->get_insert());
  EXPECT_EQ(it.get_offset(), 0);
}

TEST_F(EditorPaneTest, ReadsCrLfLineEndsInCodePage936) {
  int changes = 0;
  editor_->signal_content_changed().connect([&] { ++changes; });
  buffer()->set_text("");
  EXPECT_EQ(editor_->Content(), "");
  buffer()->set_text("中文\nline\n");  // Enter after the last line
  EXPECT_EQ(editor_->Content(), Gbk("中文\r\nline\r\n"));
  EXPECT_TRUE(editor_->Modified());
  EXPECT_GT(changes, 0);
  buffer()->set_text("a😀b");
  EXPECT_EQ(editor_->Content(), "a\x94\x39\xFC\x36" "b");
}

TEST_F(EditorPaneTest, PlainTextReplacementKeepsEveryByteAndTheModifiedFlag) {
  const std::string bytes = "GBK \xD6\xD0\r\nlone\rcr\nutf8 \xE4\xB8\xAD stray \xFF\x80\x81";
  editor_->ReplaceWithPlainText(bytes);
  EXPECT_FALSE(editor_->Modified());
  // Line ends come back as CR LF; every other byte as it was loaded.
  EXPECT_EQ(editor_->Content(), "GBK \xD6\xD0\r\nlone\r\ncr\r\nutf8 \xE4\xB8\xAD stray \xFF\x80\x81");
  // The stray 0xFF is shown highlighted as an unusual byte.
  auto tag = buffer()->get_tag_table()->lookup("raw-byte");
  ASSERT_TRUE(tag);
  auto it = buffer()->begin();
  ASSERT_TRUE(it.forward_to_tag_toggle(tag));
}

TEST_F(EditorPaneTest, RtfReplacementShowsFormattingAndReadsAsPlainText) {
  buffer()->set_modified(true);
  editor_->ReplaceWithRtf(
      "{\\rtf1\\ansi\\ansicpg936{\\fonttbl{\\f0\\fcharset134 SimSun;}}{\\colortbl;\\red255\\green0\\blue0;}"
      "\\f0 \\b \\'d6\\'d0\\b0\\par \\cf1\\protect fixed\\protect0}");
  EXPECT_TRUE(editor_->Modified());
  EXPECT_EQ(editor_->Content(), Gbk("中\r\nfixed"));
  auto start = buffer()->begin();
  auto tags = start.get_tags();
  ASSERT_FALSE(tags.empty());
  EXPECT_EQ(tags.front()->property_weight().get_value(), Pango::WEIGHT_BOLD);
  // Protected text is kept from the user's edits.
  auto fixed = buffer()->begin();
  fixed.forward_chars(3);
  EXPECT_FALSE(fixed.editable(true));
  EXPECT_FALSE(buffer()->insert_interactive(fixed, "x", true).second);
  EXPECT_EQ(editor_->Content(), Gbk("中\r\nfixed"));
}

TEST_F(EditorPaneTest, AReplacementCanBeUndone) {
  editor_->ReplaceWithPlainText("new text");
  ASSERT_EQ(editor_->Content(), "new text");
  g_signal_emit_by_name(editor_->view().gobj(), "undo");
  EXPECT_EQ(editor_->Content(), std::string(kStarterSkeleton));
}

}  // namespace
}  // namespace ostrivel
