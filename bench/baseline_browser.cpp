// The yardstick for bench/run_bench.py: the browser engine with as little around it as a
// program can have. A GTK window of Ostrivel's size whose right half is a bare WebKitWebView
// (so the engine paints the same area as Ostrivel's browser pane), an ephemeral context and
// the GBK default charset as Ostrivel uses, and the window title following the page title with
// Ostrivel's caption suffix, so the driver watches the same kind of change on both.
//
//   ostrivel_baseline_browser FILE   loads FILE at start (start-up and memory figures);
//                                    then every path read from a stdin line is queued, and
//                                    F7 loads the oldest queued one (the preview figure: the
//                                    driver presses F7 on both programs the same way).
// After reading a line it prints "queued" so the driver knows F7 has something to load.
#include <gdk/gdkkeysyms.h>
#include <gio/gunixinputstream.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>

namespace {

constexpr const char* kCaptionSuffix = "  —— OstrivelV1.0";
constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 600;

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct GFree {
  void operator()(gpointer pointer) const { g_free(pointer); }
};
using GCharPtr = std::unique_ptr<char, GFree>;

struct Browser {
  WebKitWebView* view = nullptr;  // owned by the window
  GtkWidget* window = nullptr;
  GObjectPtr<GDataInputStream> input;
  std::deque<std::string> queued;
};

void Load(Browser& browser, const std::string& path) {
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  if (uri) webkit_web_view_load_uri(browser.view, uri.get());
}

void OnTitle(WebKitWebView* view, GParamSpec*, Browser* browser) {
  const char* title = webkit_web_view_get_title(view);
  const std::string caption = std::string(title ? title : "") + kCaptionSuffix;
  gtk_window_set_title(GTK_WINDOW(browser->window), caption.c_str());
}

gboolean OnKey(GtkWidget*, GdkEventKey* event, Browser* browser) {
  if (event->keyval != GDK_KEY_F7 || browser->queued.empty()) return FALSE;
  Load(*browser, browser->queued.front());
  browser->queued.pop_front();
  return TRUE;
}

void ReadNextLine(Browser& browser);

void OnLine(GObject*, GAsyncResult* result, gpointer data) {
  auto& browser = *static_cast<Browser*>(data);
  gsize length = 0;
  GCharPtr line(g_data_input_stream_read_line_finish_utf8(browser.input.get(), result, &length, nullptr));
  if (!line) return;  // no more paths will come (or none were ever meant to)
  browser.queued.emplace_back(line.get(), length);
  std::puts("queued");
  std::fflush(stdout);
  ReadNextLine(browser);
}

void ReadNextLine(Browser& browser) {
  g_data_input_stream_read_line_async(browser.input.get(), G_PRIORITY_DEFAULT, nullptr, OnLine, &browser);
}

WebKitWebView* MakeView() {
  // One ephemeral context, as Ostrivel has: no profile is read or written.
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  webkit_web_context_set_cache_model(context, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  auto* view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
  g_object_unref(context);  // the view keeps it
  webkit_settings_set_default_charset(webkit_web_view_get_settings(view), "GBK");
  return view;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
    return 2;
  }
  Browser browser;
  browser.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(browser.window), kWindowWidth, kWindowHeight);
  gtk_window_set_title(GTK_WINDOW(browser.window), "OstrivelV1.0");
  GtkWidget* halves = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  gtk_box_set_homogeneous(GTK_BOX(halves), TRUE);
  gtk_box_pack_start(GTK_BOX(halves), gtk_drawing_area_new(), TRUE, TRUE, 0);
  browser.view = MakeView();
  gtk_box_pack_start(GTK_BOX(halves), GTK_WIDGET(browser.view), TRUE, TRUE, 0);
  gtk_container_add(GTK_CONTAINER(browser.window), halves);

  g_signal_connect(browser.view, "notify::title", G_CALLBACK(OnTitle), &browser);
  g_signal_connect(browser.window, "key-press-event", G_CALLBACK(OnKey), &browser);
  g_signal_connect(browser.window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);

  browser.input.reset(g_data_input_stream_new(g_unix_input_stream_new(0, FALSE)));
  // g_data_input_stream_new took its own reference to the base stream.
  g_object_unref(g_filter_input_stream_get_base_stream(G_FILTER_INPUT_STREAM(browser.input.get())));
  ReadNextLine(browser);

  gtk_widget_show_all(browser.window);
  Load(browser, argv[1]);
  gtk_main();
  return 0;
}
