#include "preview/browser_pane.h"

#include <gio/gio.h>
#include <glibmm/main.h>

#include <algorithm>
#include <stdexcept>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

// Preview files are served through a scheme of the program's own: a file URI would let the
// engine guess the type from the name (".tmp") or the first bytes and show a fragment as
// plain text. The response names the type text/html and no charset, so a page's own charset
// declaration is honoured and every other page is read as GBK (the engine's default charset).
constexpr const char* kPreviewScheme = "ostrivel-file";

constexpr double kTextZoom[] = {0.75, 0.875, 1.0, 1.25, 1.5};

// A web process that is up answers a new navigation within milliseconds, even on a busy
// machine. One that has not started it after this long is stuck in a page's script; the
// engine's own check would only notice after several seconds, and the user was promised the
// next preview within five.
constexpr unsigned kNavigationStartBoundMs = 1000;

template <typename T>
struct GObjectUnref {
  void operator()(T* object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref<T>>;

struct GFreeDeleter {
  void operator()(void* pointer) const { g_free(pointer); }
};
using GCharPtr = std::unique_ptr<char, GFreeDeleter>;

// The plain path a preview URI stands for.
std::string PathFromPreviewUri(const char* uri) {
  GCharPtr file_uri(g_strconcat("file", uri + std::char_traits<char>::length(kPreviewScheme), nullptr));
  GCharPtr path(g_filename_from_uri(file_uri.get(), nullptr, nullptr));
  return path ? std::string(path.get()) : std::string();
}

std::string PreviewUriForPath(const std::string& path) {
  const std::string file_uri = FileUriForPath(path);
  return kPreviewScheme + file_uri.substr(4);
}

// The page itself is always HTML; what it refers to (pictures, style sheets) gets the type
// its name and content suggest.
std::string ContentTypeFor(const std::string& path, bool main_page) {
  if (main_page) return "text/html";
  GCharPtr guessed(g_content_type_guess(path.c_str(), nullptr, 0, nullptr));
  GCharPtr mime(guessed ? g_content_type_get_mime_type(guessed.get()) : nullptr);
  return mime ? mime.get() : "application/octet-stream";
}

void ServePreviewFile(WebKitURISchemeRequest* request, gpointer) {
  const std::string path = PathFromPreviewUri(webkit_uri_scheme_request_get_uri(request));
  GObjectPtr<GFile> file(g_file_new_for_path(path.c_str()));
  GError* error = nullptr;
  GObjectPtr<GFileInputStream> stream(g_file_read(file.get(), nullptr, &error));
  if (!stream) {
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
    return;
  }
  gint64 size = -1;
  if (GObjectPtr<GFileInfo> info{g_file_input_stream_query_info(stream.get(), G_FILE_ATTRIBUTE_STANDARD_SIZE, nullptr, nullptr)})
    size = g_file_info_get_size(info.get());
  WebKitWebView* view = webkit_uri_scheme_request_get_web_view(request);
  const char* page_uri = view ? webkit_web_view_get_uri(view) : nullptr;
  const bool main_page = page_uri && g_strcmp0(page_uri, webkit_uri_scheme_request_get_uri(request)) == 0;
  GObjectPtr<WebKitURISchemeResponse> response(
      webkit_uri_scheme_response_new(G_INPUT_STREAM(stream.get()), size));
  webkit_uri_scheme_response_set_content_type(response.get(), ContentTypeFor(path, main_page).c_str());
  webkit_uri_scheme_request_finish_with_response(request, response.get());
}

// One context for the program: nothing of the user's browsing profile is read or written.
WebKitWebContext* PreviewContext() {
  static WebKitWebContext* context = [] {
    WebKitWebContext* made = webkit_web_context_new_ephemeral();
    webkit_web_context_register_uri_scheme(made, kPreviewScheme, ServePreviewFile, nullptr, nullptr);
    WebKitSecurityManager* security = webkit_web_context_get_security_manager(made);
    webkit_security_manager_register_uri_scheme_as_local(security, kPreviewScheme);
    webkit_security_manager_register_uri_scheme_as_secure(security, kPreviewScheme);
    webkit_web_context_set_cache_model(made, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
    return made;
  }();
  return context;
}

bool IsShownInPane(const std::string& uri) {
  GCharPtr scheme(g_uri_parse_scheme(uri.c_str()));
  if (!scheme) return true;
  const GCharPtr lower(g_ascii_strdown(scheme.get(), -1));
  const std::string s = lower.get();
  return s == "http" || s == "https" || s == "file" || s == "data" || s == "about" || s == "blob" ||
         s == "javascript" || s == kPreviewScheme;
}

bool IsNetworkUri(const std::string& uri) {
  return g_str_has_prefix(uri.c_str(), "http:") || g_str_has_prefix(uri.c_str(), "https:");
}

}  // namespace

std::string FileUriForPath(const std::string& path) {
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (uri) return uri.get();
  // A relative path: make it absolute first.
  GCharPtr absolute(g_canonicalize_filename(path.c_str(), nullptr));
  GCharPtr absolute_uri(g_filename_to_uri(absolute.get(), nullptr, nullptr));
  return absolute_uri ? absolute_uri.get() : "file:///";
}

BrowserPane::BrowserPane(const BrowserSettings& settings) : settings_(settings) {
  settings_.font_size = std::clamp(settings_.font_size, 0, 4);
  GtkWidget* made = webkit_web_view_new_with_context(PreviewContext());
  if (!made) throw std::runtime_error("无法创建浏览器引擎");
  view_ = WEBKIT_WEB_VIEW(g_object_ref_sink(made));  // the pane holds the engine's widget
  widget_ = Glib::wrap(made);  // a wrapper that lives as long as the widget

  WebKitSettings* engine = webkit_web_view_get_settings(view_);
  webkit_settings_set_default_charset(engine, "GBK");
  webkit_settings_set_zoom_text_only(engine, TRUE);
  webkit_settings_set_allow_file_access_from_file_urls(engine, TRUE);
  webkit_settings_set_javascript_can_open_windows_automatically(engine, FALSE);

  g_signal_connect(view_, "notify::title", G_CALLBACK(OnTitleNotify), this);
  g_signal_connect(view_, "script-dialog", G_CALLBACK(OnScriptDialog), this);
  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "permission-request", G_CALLBACK(OnPermissionRequest), this);
  g_signal_connect(view_, "authenticate", G_CALLBACK(OnAuthenticate), this);
  g_signal_connect(view_, "print", G_CALLBACK(OnPrint), this);
  g_signal_connect(view_, "run-file-chooser", G_CALLBACK(OnFileChooser), this);
  g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view_, "notify::is-web-process-responsive", G_CALLBACK(OnResponsiveNotify), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);

  ApplyFontSize();
  widget_->show();
  if (!settings_.url.empty()) Navigate(settings_.url);
}

BrowserPane::~BrowserPane() {
  start_watch_.disconnect();
  g_signal_handlers_disconnect_by_data(view_, this);
  if (GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(view_))) gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(view_));
  gtk_widget_destroy(GTK_WIDGET(view_));
  g_object_unref(view_);
}

void BrowserPane::Navigate(const std::string& path) {
  pending_path_ = path;
  reloaded_after_termination_ = false;
  const std::string uri = PreviewUriForPath(path);
  webkit_web_view_load_uri(view_, uri.c_str());
  WatchNavigationStart();
}

void BrowserPane::WatchNavigationStart() {
  start_watch_.disconnect();
  // A process that is only being started may take its time. (One holding a dialog of the
  // engine's for the user is no exception: the engine itself ends it a little later, as it does
  // not answer either.)
  if (!engine_answered_) return;
  start_watch_ = Glib::signal_timeout().connect(
      [this] {
        RecoverUnresponsiveEngine();
        return false;
      },
      kNavigationStartBoundMs);
}

void BrowserPane::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, BrowserPane* self) {
  self->engine_answered_ = true;
  // Only a start can be the navigation just asked for; the end of the page before it may be
  // reported while the new one still waits.
  if (event == WEBKIT_LOAD_STARTED) self->start_watch_.disconnect();
}

void BrowserPane::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason, BrowserPane* self) {
  self->start_watch_.disconnect();
  self->engine_answered_ = false;
  // The engine's process is gone (ended by us or from outside): show the last page again in a
  // new one. A page that takes every new process down is not loaded again and again.
  if (!self->pending_path_.empty() && !self->reloaded_after_termination_) {
    self->Navigate(self->pending_path_);
    self->reloaded_after_termination_ = true;
  }
}

void BrowserPane::SetSilent(bool silent) { settings_.silent = silent; }

void BrowserPane::SetFontSize(int size) {
  settings_.font_size = std::clamp(size, 0, 4);
  ApplyFontSize();
}

void BrowserPane::ApplyFontSize() { webkit_web_view_set_zoom_level(view_, kTextZoom[settings_.font_size]); }

std::string BrowserPane::Caption() const {
  if (delivering_title_) return current_title_;
  const char* title = webkit_web_view_get_title(view_);
  return title ? codepage::Utf8ToCp936(title) : std::string();
}

void BrowserPane::OnTitleNotify(WebKitWebView* view, GParamSpec*, BrowserPane* self) {
  const char* title = webkit_web_view_get_title(view);
  self->current_title_ = title ? codepage::Utf8ToCp936(title) : std::string();
  self->delivering_title_ = true;
  self->title_changed_.emit();
  self->delivering_title_ = false;
  self->current_title_.clear();
}

gboolean BrowserPane::OnScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, BrowserPane* self) {
  if (!self->settings_.silent) return FALSE;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
      break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      // Nobody is asked, so nothing may hold the next preview back.
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
    default:  // an alert needs no answer; a prompt left unanswered gives null
      break;
  }
  return TRUE;
}

gboolean BrowserPane::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                     BrowserPane* self) {
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  WebKitNavigationAction* action =
      webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  const std::string uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION || !IsShownInPane(uri)) {
    webkit_policy_decision_ignore(decision);
    if (webkit_navigation_action_is_user_gesture(action) || type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION)
      self->OpenExternally(uri);
    return TRUE;
  }
  if (self->settings_.offline && IsNetworkUri(uri)) {
    webkit_policy_decision_ignore(decision);
    return TRUE;
  }
  return FALSE;
}

GtkWidget* BrowserPane::OnCreate(WebKitWebView*, WebKitNavigationAction* action, BrowserPane* self) {
  // Scripts may not open windows of their own; a user's click on such a link goes to the
  // desktop's browser.
  if (webkit_navigation_action_is_user_gesture(action))
    self->OpenExternally(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  return nullptr;
}

void BrowserPane::OpenExternally(const std::string& uri) {
  if (uri.empty() || g_str_has_prefix(uri.c_str(), kPreviewScheme)) return;
  GError* error = nullptr;
  if (!g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error)) {
    g_warning("No program opens %s: %s", uri.c_str(), error->message);
    g_error_free(error);
  }
}

gboolean BrowserPane::OnPermissionRequest(WebKitWebView*, WebKitPermissionRequest* request, BrowserPane* self) {
  if (!self->settings_.silent) return FALSE;
  webkit_permission_request_deny(request);
  return TRUE;
}

gboolean BrowserPane::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request, BrowserPane* self) {
  if (!self->settings_.silent) return FALSE;
  webkit_authentication_request_cancel(request);
  return TRUE;
}

gboolean BrowserPane::OnPrint(WebKitWebView*, WebKitPrintOperation*, BrowserPane* self) {
  return self->settings_.silent ? TRUE : FALSE;
}

gboolean BrowserPane::OnFileChooser(WebKitWebView*, WebKitFileChooserRequest* request, BrowserPane* self) {
  if (!self->settings_.silent) return FALSE;
  webkit_file_chooser_request_cancel(request);
  return TRUE;
}

void BrowserPane::OnResponsiveNotify(WebKitWebView* view, GParamSpec*, BrowserPane* self) {
  if (!webkit_web_view_get_is_web_process_responsive(view)) self->RecoverUnresponsiveEngine();
}

void BrowserPane::RecoverUnresponsiveEngine() {
  start_watch_.disconnect();
  webkit_web_view_terminate_web_process(view_);
}

}  // namespace ostrivel
