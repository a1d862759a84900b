#include "app/main_window.h"

#include <gdk/gdkkeysyms.h>
#include <gdkmm/monitor.h>
#include <glibmm/main.h>
#include <gtkmm/main.h>

#include "app/app_icon.h"
#include "app/shell.h"
#include "codepage/codepage.h"
#include "editor/open_document.h"
#include "editor/save_source.h"
#include "preview/caption.h"
#include "preview/preview.h"

namespace ostrivel {
namespace {

// The editor's background once the window is created: a light magenta.
constexpr std::uint32_t kEditorBackground = 0x00FFAAFF;

// Stored geometry of the panes; the layout replaces it before the window is first shown.
constexpr Rect kEditorStoredRect{0, 0, 208, 304};
constexpr Rect kBrowserStoredRect{208, 0, 192, 304};

void DispatchPendingEvents() {
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
}

Gdk::Rectangle PrimaryMonitorGeometry() {
  Gdk::Rectangle geometry(0, 0, 0, 0);
  auto display = Gdk::Display::get_default();
  auto monitor = display->get_primary_monitor();
  if (!monitor && display->get_n_monitors() > 0) monitor = display->get_monitor(0);
  if (monitor) monitor->get_geometry(geometry);
  return geometry;
}

bool IsInside(const Gtk::Widget* widget, const Gtk::Widget& ancestor) {
  for (; widget; widget = widget->get_parent())
    if (widget == &ancestor) return true;
  return false;
}

}  // namespace

MainWindowParts MainWindowParts::Standard() {
  MainWindowParts parts;
  parts.make_editor = [] { return std::make_unique<EditorPane>(EditorSettings::MainEditor()); };
  parts.make_browser = [] { return std::make_unique<BrowserPane>(BrowserSettings{}); };
  return parts;
}

std::unique_ptr<MainWindow> MainWindow::Build(MainWindowParts parts) {
  DispatchPendingEvents();
  std::unique_ptr<MainWindow> window;
  {
    // Nothing reaches a handler while the window is built, whatever the toolkit reports; a
    // key pressed meanwhile is dropped, not delayed.
    ScopedEventHold hold;
    try {
      window.reset(new MainWindow(std::move(parts)));
    } catch (const std::exception& error) {
      throw BuildError(error.what());
    }
    DispatchPendingEvents();
  }
  window->RaiseCreated();
  window->RaiseMoved();
  window->RaiseSizeChanged();
  window->show();
  window->editor_->view().grab_focus();
  return window;
}

MainWindow::MainWindow(MainWindowParts parts) : parts_(std::move(parts)) {
  menu_definition_ = MainMenuDefinition();
  menu_ = MakeToolkitMenu(BuildMenu(menu_definition_), [this](int id) { DispatchCommand(id); });
  BuildWindow();
}

MainWindow::~MainWindow() {
  RaiseEventHold();  // the window's last reports reach no handler
  for (auto& connection : connections_) connection.disconnect();
  retire_menus_.disconnect();
  client_.SetSizeReport({});
  LowerEventHold();
}

void MainWindow::BuildWindow() {
  SetCaption(kInitialCaption);
  set_default_size(kWindowWidth, kWindowHeight);
  const Gdk::Rectangle screen = PrimaryMonitorGeometry();
  const Point origin = CenteredOrigin(screen.get_width(), screen.get_height());
  move(screen.get_x() + origin.x, screen.get_y() + origin.y);
  try {
    std::vector<Glib::RefPtr<Gdk::Pixbuf>> icons = DefaultIcon();
    set_icon_list(icons);
  } catch (const Glib::Error& error) {
    g_warning("The program's icon cannot be read: %s", error.what().c_str());
  }

  layout_box_.pack_start(*menu_.bar, Gtk::PACK_SHRINK);
  layout_box_.pack_start(client_, Gtk::PACK_EXPAND_WIDGET);
  add(layout_box_);

  editor_ = parts_.make_editor();
  browser_ = parts_.make_browser();
  if (!editor_ || !browser_) throw BuildError("无法创建窗口的控件");
  client_.AddPane(editor_->widget(), kEditorStoredRect);
  client_.AddPane(browser_->widget(), kBrowserStoredRect);
  client_.SetSizeReport([this] { RaiseSizeChanged(); });
  connections_.push_back(browser_->signal_title_changed().connect([this] {
    if (!EventsHeld()) ShowTitleInCaption();
  }));

  layout_box_.show();
  client_.show();
  editor_->widget().show();
  browser_->widget().show();
  add_accel_group(menu_.accelerators);
  realize();
}

void MainWindow::InstallMenu() {
  ToolkitMenu rebuilt = MakeToolkitMenu(BuildMenu(menu_definition_), [this](int id) { DispatchCommand(id); });
  remove_accel_group(menu_.accelerators);
  add_accel_group(rebuilt.accelerators);
  layout_box_.remove(*menu_.bar);
  layout_box_.pack_start(*rebuilt.bar, Gtk::PACK_SHRINK);
  layout_box_.reorder_child(*rebuilt.bar, 0);
  retired_menus_.push_back(std::exchange(menu_, std::move(rebuilt)));
  if (!retire_menus_.connected())
    retire_menus_ = Glib::signal_idle().connect([this] {
      retired_menus_.clear();
      return false;
    });
}

void MainWindow::SetCaption(std::string_view caption) {
  caption_ = std::string(caption);
  set_title(codepage::Cp936ToUtf8(caption_));
}

int MainWindow::ClientWidth() const { return iconified_ ? 0 : std::max(client_.get_allocated_width(), 0); }
int MainWindow::ClientHeight() const { return iconified_ ? 0 : std::max(client_.get_allocated_height(), 0); }

Gtk::Widget& MainWindow::PaneWidget(Pane pane) const {
  return pane == Pane::Editor ? editor_->widget() : browser_->widget();
}

Rect MainWindow::PaneRect(Pane pane) const { return client_.PaneRect(PaneWidget(pane)); }

int MainWindow::PaneWidth(Pane pane) const { return PaneRect(pane).width; }

void MainWindow::MoveControl(Pane pane, std::optional<int> left, std::optional<int> top, std::optional<int> width,
                             std::optional<int> height) {
  if (auto target = MoveTarget(PaneRect(pane), left, top, width, height))
    client_.PlacePane(PaneWidget(pane), *target);
}

void MainWindow::RaiseCreated() {
  if (!EventsHeld()) OnCreated();
}

void MainWindow::RaiseMoved() {
  // The window has no handler for its moves.
}

void MainWindow::RaiseSizeChanged() {
  if (EventsHeld()) return;
  LayoutPanes(*this);
  layout_done_.emit();
}

bool MainWindow::on_window_state_event(GdkEventWindowState* event) {
  const bool result = Gtk::Window::on_window_state_event(event);
  if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED) {
    iconified_ = (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0;
    // Panes without area are hidden, which takes the focus from them: remember where it was.
    if (iconified_) {
      Gtk::Widget* focus = get_focus();
      const bool in_pane = IsInside(focus, editor_->widget()) || IsInside(focus, browser_->widget());
      focus_before_iconify_ = in_pane ? focus : nullptr;
    }
    RaiseSizeChanged();
    if (!iconified_ && focus_before_iconify_ && !get_focus()) focus_before_iconify_->grab_focus();
  }
  return result;
}

bool MainWindow::on_configure_event(GdkEventConfigure* event) {
  const bool result = Gtk::Window::on_configure_event(event);
  if (event->x != last_x_ || event->y != last_y_) {
    last_x_ = event->x;
    last_y_ = event->y;
    RaiseMoved();
  }
  MatchOuterSizeToFrame();
  return result;
}

// The outer size includes the window manager's frame once its extents are known.
void MainWindow::MatchOuterSizeToFrame() {
  if (frame_matched_ || !get_mapped()) return;
  auto gdk_window = get_window();
  if (!gdk_window) return;
  Gdk::Rectangle frame;
  gdk_window->get_frame_extents(frame);
  const int extra_width = frame.get_width() - gdk_window->get_width();
  const int extra_height = frame.get_height() - gdk_window->get_height();
  frame_matched_ = true;
  if (extra_width > 0 || extra_height > 0)
    resize(std::max(kWindowWidth - extra_width, 1), std::max(kWindowHeight - extra_height, 1));
}

bool MainWindow::on_key_press_event(GdkEventKey* event) {
  Gtk::Widget* focus = get_focus();
  if (focus && !focus->is_sensitive()) return Gtk::Window::on_key_press_event(event);
  // Accelerators come first, in whichever pane has the focus; the pane never sees them.
  if (gtk_window_activate_key(gobj(), event)) return true;
  const guint modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  // F1 is the silent-mode key; the toolkit's own help binding must never act.
  if (event->keyval == GDK_KEY_F1 || event->keyval == GDK_KEY_KP_F1 || event->keyval == GDK_KEY_Help) return true;
  const bool tab = event->keyval == GDK_KEY_Tab || event->keyval == GDK_KEY_KP_Tab;
  const bool shift_tab = event->keyval == GDK_KEY_ISO_Left_Tab || (tab && modifiers == GDK_SHIFT_MASK);
  if ((tab && modifiers == 0) || shift_tab) {
    if (IsInside(focus, editor_->widget()) || IsInside(focus, browser_->widget())) {
      MoveFocusToOtherPane();
      return true;
    }
  }
  return Gtk::Window::on_key_press_event(event);
}

// With two tab stops Tab and Shift+Tab both lead to the other pane.
void MainWindow::MoveFocusToOtherPane() {
  if (IsInside(get_focus(), editor_->widget()))
    browser_->widget().grab_focus();
  else
    editor_->view().grab_focus();
}

void MainWindow::DispatchCommand(int command_id) {
  const auto handler = HandlerForCommand(command_id, menu_definition_, EventsHeld());
  if (!handler) return;
  switch (*handler) {
    case MenuHandler::Test: TestHandler(); break;
    case MenuHandler::Open: OpenHandler(); break;
    case MenuHandler::Save: SaveSource(); break;
    case MenuHandler::Exit: ExitProgram(); break;
    case MenuHandler::ToggleSilent: ToggleSilentMode(); break;
    case MenuHandler::None: break;
  }
}

int MainWindow::ReadMenuItemFlag(int position, MenuItemProperty property) const {
  return ReadMenuFlag(menu_definition_.at(position), property);
}

void MainWindow::WriteMenuItemFlag(int position, MenuItemProperty property, int value) {
  if (WriteMenuFlag(menu_definition_.at(position), property, value)) InstallMenu();
}

void MainWindow::WriteMenuItemCaption(int position, const std::string& caption) {
  if (WriteMenuCaption(menu_definition_.at(position), caption)) InstallMenu();
}

void MainWindow::OnCreated() {
  editor_->SetBackColor(kEditorBackground);
  PreviewHtml(HelpPageHtml(), [this](const std::string& path) { browser_->Navigate(path); });
}

void MainWindow::TestHandler() {
  const std::string content = editor_->Content();
  PreviewHtml(content, [this](const std::string& path) { browser_->Navigate(path); });
}

void MainWindow::OpenHandler() {
  OpenDocument(*editor_, this, parts_.file_dialog, ConverterSearchPlaces::FromEnvironment(ProgramDirectory()));
}

void MainWindow::SaveSource() {
  ostrivel::SaveSource(*editor_, save_dialog_, this, parts_.file_dialog, parts_.report_save_error);
}

void MainWindow::ExitProgram() { EndProgram(0); }

void MainWindow::ToggleSilentMode() {
  const int checked = ReadMenuItemFlag(kSilentItemPosition, MenuItemProperty::Checked);
  WriteMenuItemFlag(kSilentItemPosition, MenuItemProperty::Checked, checked == 1 ? 0 : 1);
  browser_->SetSilent(ReadMenuItemFlag(kSilentItemPosition, MenuItemProperty::Checked) == 1);
}

void MainWindow::ShowTitleInCaption() {
  const std::string title = browser_->Caption();
  SetCaption(CaptionForTitle(title));
}

}  // namespace ostrivel
