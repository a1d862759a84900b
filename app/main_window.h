// MainWindow: the one top-level window with its menu bar, the editor and browser panes and
// the save-dialog control; it raises the window's events and routes every command.
#pragma once

#include <gtkmm/box.h>
#include <gtkmm/window.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/layout.h"
#include "app/menu_bar.h"
#include "app/menu_definition.h"
#include "app/pane_container.h"
#include "editor/common_dialog.h"
#include "editor/editor_pane.h"
#include "editor/save_source.h"
#include "preview/browser_pane.h"

namespace ostrivel {

// The window could not be built (a control could not be created).
struct BuildError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How the controls are made and how dialogs are answered; tests replace parts of it.
struct MainWindowParts {
  std::function<std::unique_ptr<EditorPane>()> make_editor;
  std::function<std::unique_ptr<BrowserPane>()> make_browser;
  FileDialogRunner file_dialog = RunToolkitFileDialog;
  SaveErrorReporter report_save_error = ShowSaveError;
  static MainWindowParts Standard();
};

class MainWindow : public Gtk::Window, private PaneLayoutHost {
 public:
  // Builds the window, raises its created, moved and size-changed events and shows it.
  // Throws BuildError when a control cannot be created; no window is shown then.
  static std::unique_ptr<MainWindow> Build(MainWindowParts parts = MainWindowParts::Standard());
  ~MainWindow() override;

  // The caption (code page 936 text).
  void SetCaption(std::string_view caption);
  const std::string& Caption() const { return caption_; }

  int ClientWidth() const override;
  int ClientHeight() const override;

  // Menu clicks and accelerators arrive here.
  void DispatchCommand(int command_id);

  // Reads and writes of a menu item's properties; a change rebuilds the menu bar and keys.
  int ReadMenuItemFlag(int position, MenuItemProperty property) const;
  void WriteMenuItemFlag(int position, MenuItemProperty property, int value);
  void WriteMenuItemCaption(int position, const std::string& caption);

  EditorPane& editor() { return *editor_; }
  BrowserPane& browser() { return *browser_; }
  CommonDialog& save_dialog() { return save_dialog_; }
  Gtk::MenuBar& menu_bar() { return *menu_.bar; }
  Rect PaneRect(Pane pane) const;

  // Raised for every size report, after LayoutPanes has run (tests wait on it).
  sigc::signal<void()>& signal_layout_done() { return layout_done_; }

 protected:
  bool on_key_press_event(GdkEventKey* event) override;
  bool on_window_state_event(GdkEventWindowState* event) override;
  bool on_configure_event(GdkEventConfigure* event) override;

 private:
  explicit MainWindow(MainWindowParts parts);
  void BuildWindow();
  void InstallMenu();
  void RaiseCreated();
  void RaiseMoved();
  void RaiseSizeChanged();
  void MoveFocusToOtherPane();
  void MatchOuterSizeToFrame();

  // PaneLayoutHost
  int PaneWidth(Pane pane) const override;
  void MoveControl(Pane pane, std::optional<int> left, std::optional<int> top, std::optional<int> width,
                   std::optional<int> height) override;
  Gtk::Widget& PaneWidget(Pane pane) const;

  // Handlers.
  void OnCreated();
  void TestHandler();
  void OpenHandler();
  void SaveSource();
  void ExitProgram();
  void ToggleSilentMode();
  void ShowTitleInCaption();

  MainWindowParts parts_;
  std::vector<MenuItem> menu_definition_;
  ToolkitMenu menu_;
  std::vector<ToolkitMenu> retired_menus_;  // kept until idle: a rebuild can run inside their signals
  sigc::connection retire_menus_;
  Gtk::Box layout_box_{Gtk::ORIENTATION_VERTICAL};
  PaneContainer client_;
  std::unique_ptr<EditorPane> editor_;
  std::unique_ptr<BrowserPane> browser_;
  CommonDialog save_dialog_ = CommonDialog::SaveSourceDialog();
  std::string caption_;
  bool iconified_ = false;
  Gtk::Widget* focus_before_iconify_ = nullptr;  // a pane's widget; the panes live as long as the window
  bool frame_matched_ = false;
  int last_x_ = 0, last_y_ = 0;
  sigc::signal<void()> layout_done_;
  std::vector<sigc::connection> connections_;
};

}  // namespace ostrivel
