// The browser pane "超文本浏览框1": the WebKit engine showing preview files as HTML read in
// code page 936, with a silent mode that keeps every dialog of the engine's own away.
#pragma once

#include <gtkmm/widget.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

namespace ostrivel {

struct BrowserSettings {
  int font_size = 2;      // 0 最小 … 4 最大; clamped
  bool offline = false;   // refuse loads from the network
  bool silent = false;    // no dialogs of the engine's own
  std::string url;        // loaded at creation when not empty
};

class BrowserPane {
 public:
  // Throws std::runtime_error when the engine cannot be created.
  explicit BrowserPane(const BrowserSettings& settings);
  ~BrowserPane();
  BrowserPane(const BrowserPane&) = delete;
  BrowserPane& operator=(const BrowserPane&) = delete;

  Gtk::Widget& widget() { return *widget_; }
  WebKitWebView* web_view() const { return view_; }

  // Shows the file at a plain path as an HTML page; returns at once.
  void Navigate(const std::string& path);

  // "静默": passed to the engine at once; nothing is reloaded.
  void SetSilent(bool silent);
  bool Silent() const { return settings_.silent; }

  void SetFontSize(int size);
  int FontSize() const { return settings_.font_size; }
  void SetOffline(bool offline) { settings_.offline = offline; }
  bool Offline() const { return settings_.offline; }

  // "标题": during "标题被改变" the title just reported, otherwise the current page title.
  // Code page 936 text.
  std::string Caption() const;

  // "标题被改变": once for every title the engine reports.
  sigc::signal<void()>& signal_title_changed() { return title_changed_; }

  // Ends a web process that stopped answering; the page asked for last is shown again in a
  // new one.
  void RecoverUnresponsiveEngine();

 private:
  static void OnTitleNotify(WebKitWebView* view, GParamSpec*, BrowserPane* self);
  static gboolean OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, BrowserPane* self);
  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 BrowserPane* self);
  static gboolean OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, BrowserPane* self);
  static gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, BrowserPane* self);
  static gboolean OnPrint(WebKitWebView*, WebKitPrintOperation*, BrowserPane* self);
  static gboolean OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, BrowserPane* self);
  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, BrowserPane* self);
  static void OnResponsiveNotify(WebKitWebView* view, GParamSpec*, BrowserPane* self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, BrowserPane* self);
  static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, BrowserPane* self);
  void WatchNavigationStart();
  void ApplyFontSize();
  void OpenExternally(const std::string& uri);

  BrowserSettings settings_;
  WebKitWebView* view_ = nullptr;     // owned by widget_
  Gtk::Widget* widget_ = nullptr;     // the wrapper of view_, kept alive by a reference
  std::string current_title_;         // valid while a title change is delivered
  bool delivering_title_ = false;
  std::string pending_path_;          // the last page asked for, reloaded after a recovery
  bool reloaded_after_termination_ = false;
  bool engine_answered_ = false;      // the current web process has reported a load: it is up
  sigc::connection start_watch_;      // armed while a navigation waits for the engine to start it
  sigc::signal<void()> title_changed_;
};

// "file:///…" for a plain path, whatever bytes it holds.
std::string FileUriForPath(const std::string& path);

}  // namespace ostrivel
