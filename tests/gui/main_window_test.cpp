#include "app/main_window.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <glibmm/main.h>
#include <gtkmm/checkmenuitem.h>
#include <gtkmm/menu.h>
#include <sys/wait.h>

#include <filesystem>

#include "app/shell.h"
#include "codepage/codepage.h"
#include "gui_test_support.h"
#include "preview/caption.h"

namespace ostrivel {
namespace {

using testing::RunUntil;
using testing::SendKey;
namespace fs = std::filesystem;

std::string Gbk(std::string_view utf8) { return codepage::Utf8ToCp936(utf8); }

std::vector<fs::path> PreviewFiles() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(g_get_tmp_dir())))
    if (entry.path().extension() == ".tmp") files.push_back(entry.path());
  return files;
}

// One window for the whole suite: building the engine is the slow part.
class MainWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MainWindowParts parts = MainWindowParts::Standard();
    parts.file_dialog = [](const FileDialogRequest& request, Gtk::Window*) -> std::optional<FileDialogAnswer> {
      last_request = request;
      return std::nullopt;
    };
    window = MainWindow::Build(std::move(parts)).release();
  }
  static void TearDownTestSuite() {
    delete window;
    window = nullptr;
  }
  static bool CaptionIs(std::string_view caption) { return window->Caption() == caption; }

  static inline MainWindow* window = nullptr;
  static inline std::optional<FileDialogRequest> last_request;
};

TEST_F(MainWindowTest, StartsWithTheHelpPageInTheCaptionAndTheSkeletonInTheEditor) {
  const std::string help_caption = CaptionForTitle(Gbk("Ostrivel说明"));
  ASSERT_TRUE(RunUntil([&] { return CaptionIs(help_caption); })) << codepage::Cp936ToUtf8(window->Caption());
  EXPECT_EQ(window->get_title(), "Ostrivel说明  —— OstrivelV1.0");
  EXPECT_EQ(window->editor().Content(), std::string(kStarterSkeleton));
  EXPECT_FALSE(window->editor().Modified());
  EXPECT_EQ(window->editor().BackColor(), 0x00FFAAFFu);
  EXPECT_TRUE(window->editor().view().has_focus());
}

TEST_F(MainWindowTest, PanesSplitTheClientAreaAfterEveryResize) {
  for (auto [width, height] : {std::pair{600, 400}, std::pair{785, 500}, std::pair{800, 600}}) {
    window->resize(width, height);
    ASSERT_TRUE(RunUntil([&] { return window->get_allocated_width() == width; }));
    testing::Flush();
    const int cw = window->ClientWidth();
    const int ch = window->ClientHeight();
    EXPECT_EQ(cw, width);
    EXPECT_EQ(window->PaneRect(PaneLayoutHost::Pane::Editor), (Rect{0, 0, cw / 2, ch}));
    EXPECT_EQ(window->PaneRect(PaneLayoutHost::Pane::Browser), (Rect{cw / 2, 0, cw / 2, ch}));
  }
}

void SendWindowState(Gtk::Window& window, GdkWindowState state) {
  GdkEvent* event = gdk_event_new(GDK_WINDOW_STATE);
  event->window_state.window = GDK_WINDOW(g_object_ref(window.get_window()->gobj()));
  event->window_state.changed_mask = GDK_WINDOW_STATE_ICONIFIED;
  event->window_state.new_window_state = state;
  gtk_main_do_event(event);
  gdk_event_free(event);
}

TEST_F(MainWindowTest, PanesShrinkToNothingWhileIconifiedAndComeBackAfterwards) {
  const Rect editor = window->PaneRect(PaneLayoutHost::Pane::Editor);
  ASSERT_GT(editor.width, 0);
  window->editor().view().grab_focus();
  SendWindowState(*window, GDK_WINDOW_STATE_ICONIFIED);
  EXPECT_EQ(window->ClientWidth(), 0);
  EXPECT_EQ(window->PaneRect(PaneLayoutHost::Pane::Editor), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(window->PaneRect(PaneLayoutHost::Pane::Browser), (Rect{0, 0, 0, 0}));
  SendWindowState(*window, GdkWindowState(0));
  EXPECT_EQ(window->PaneRect(PaneLayoutHost::Pane::Editor), editor);
  EXPECT_TRUE(window->editor().widget().get_child_visible());
  EXPECT_EQ(window->get_focus(), &window->editor().view());  // the pane that had the focus has it again
}

TEST_F(MainWindowTest, F7PreviewsTheEditorTextInANewFileFromEitherPane) {
  const auto before = PreviewFiles().size();
  window->editor().ReplaceWithPlainText("<title>one</title>");
  SendKey(*window, GDK_KEY_F7);
  ASSERT_TRUE(RunUntil([&] { return CaptionIs(CaptionForTitle("one")); }));
  EXPECT_EQ(PreviewFiles().size(), before + 1);

  // Tab moves to the browser pane; F7 still previews, and the key reaches no pane.
  SendKey(*window, GDK_KEY_Tab);
  EXPECT_EQ(window->get_focus(), &window->browser().widget());
  window->editor().ReplaceWithPlainText("<title>two</title>");
  SendKey(*window, GDK_KEY_F7);
  ASSERT_TRUE(RunUntil([&] { return CaptionIs(CaptionForTitle("two")); }));
  EXPECT_EQ(PreviewFiles().size(), before + 2);
  SendKey(*window, GDK_KEY_ISO_Left_Tab, GDK_SHIFT_MASK);
  EXPECT_EQ(window->get_focus(), &window->editor().view());
  EXPECT_EQ(window->editor().Content(), "<title>two</title>");  // Tab inserted nothing
}

TEST_F(MainWindowTest, F1TogglesTheCheckMarkAndSilentModeTogether) {
  auto silent_item = [] {
    auto* settings = window->menu_bar().get_children().at(1);
    auto* menu = static_cast<Gtk::MenuItem*>(settings)->get_submenu();
    return dynamic_cast<Gtk::CheckMenuItem*>(menu->get_children().at(0));
  };
  ASSERT_NE(silent_item(), nullptr);
  EXPECT_FALSE(silent_item()->get_active());
  const std::string caption = window->Caption();
  for (bool expected : {true, false, true, false}) {
    SendKey(*window, GDK_KEY_F1);
    EXPECT_EQ(window->ReadMenuItemFlag(kSilentItemPosition, MenuItemProperty::Checked), expected ? 1 : 0);
    EXPECT_EQ(silent_item()->get_active(), expected);
    EXPECT_EQ(window->browser().Silent(), expected);
  }
  testing::Flush();
  EXPECT_EQ(window->Caption(), caption);  // no reload, no new title
}

TEST_F(MainWindowTest, MenuShowsCaptionsWithTheirKeys) {
  auto children = window->menu_bar().get_children();
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(static_cast<Gtk::MenuItem*>(children[0])->get_label(), "_F.程序");
  EXPECT_EQ(static_cast<Gtk::MenuItem*>(children[1])->get_label(), "_S.设置");
  auto items = static_cast<Gtk::MenuItem*>(children[0])->get_submenu()->get_children();
  ASSERT_EQ(items.size(), 6u);
}

TEST_F(MainWindowTest, CommandsAreDroppedWhileEventsAreHeld) {
  const auto before = PreviewFiles().size();
  {
    ScopedEventHold hold;
    window->DispatchCommand(20001);
    SendKey(*window, GDK_KEY_F7);
  }
  testing::Flush();
  EXPECT_EQ(PreviewFiles().size(), before);
  window->DispatchCommand(20002);  // a separator does nothing
  window->DispatchCommand(20099);  // beyond the menu
  EXPECT_EQ(PreviewFiles().size(), before);
}

TEST_F(MainWindowTest, OpenAndSaveAskTheirDialogs) {
  last_request.reset();
  SendKey(*window, GDK_KEY_o, GDK_CONTROL_MASK);
  ASSERT_TRUE(last_request.has_value());
  EXPECT_EQ(last_request->title, Gbk("请输入欲打开文档的文件名:"));
  last_request.reset();
  SendKey(*window, GDK_KEY_s, GDK_CONTROL_MASK);
  ASSERT_TRUE(last_request.has_value());
  EXPECT_EQ(last_request->title, Gbk("保存源代码："));
  EXPECT_EQ(last_request->default_extension, "htm");
}

TEST(MainWindowBuild, FailsWhenTheBrowserEngineCannotBeCreated) {
  MainWindowParts parts = MainWindowParts::Standard();
  parts.make_browser = []() -> std::unique_ptr<BrowserPane> { throw std::runtime_error("no engine"); };
  EXPECT_THROW(MainWindow::Build(std::move(parts)), BuildError);
  EXPECT_FALSE(EventsHeld());
}

// The fatal error box has the error icon and no owner; closing it ends with status 255.
TEST(FatalErrorDeathTest, ShowsAnOwnerlessErrorBoxThenExitsWith255) {
  ::testing::FLAGS_gtest_death_test_style = "threadsafe";
  auto answer_box = [] {
    Glib::signal_timeout().connect(
        [] {
          for (GList* l = gtk_window_list_toplevels(); l; l = l->next) {
            if (!GTK_IS_MESSAGE_DIALOG(l->data) || !gtk_widget_get_visible(GTK_WIDGET(l->data))) continue;
            GtkMessageType type;
            g_object_get(l->data, "message-type", &type, nullptr);
            if (type != GTK_MESSAGE_ERROR || gtk_window_get_transient_for(GTK_WINDOW(l->data))) _exit(3);
            gtk_dialog_response(GTK_DIALOG(l->data), GTK_RESPONSE_OK);
          }
          return true;
        },
        50);
  };
  EXPECT_EXIT(
      {
        answer_box();
        FatalError("boom");
      },
      ::testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace ostrivel
