// Opening a document into the editor against filling a bare GtkTextBuffer with the same
// UTF-8 text. Each run builds both views afresh in windows of the editor pane's size (the
// program's editor starts with its skeleton, the bare view with the same text), then times
// the replacement until the view has drawn it; the two sides alternate which goes first.
// Printed per document: the medians in milliseconds and every run's ratio, as one JSON line.
//
//   ostrivel_bench_open --runs N [--layout] TEXT_FILE RTF_FILE
//
// --layout also times until the toolkit has laid out every line (the idle work after the
// first frame), which for megabytes of wrapped text takes seconds on both sides.
#include <gtk/gtk.h>
#include <gtkmm/scrolledwindow.h>
#include <gtkmm/textview.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "bench/bench_support.h"
#include "codepage/codepage.h"
#include "editor/editor_pane.h"
#include "editor/rtf_reader.h"

namespace ostrivel::bench {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A plain text view set up as the editor's view is (font, wrapping, margins, scrolling), so
// both sides lay out the same text the same way; only the program's own work differs.
class BareTextView {
 public:
  explicit BareTextView(const EditorPane& like) {
    auto& editor_view = const_cast<EditorPane&>(like).view();
    view_.set_wrap_mode(editor_view.get_wrap_mode());
    view_.set_left_margin(editor_view.get_left_margin());
    view_.set_right_margin(editor_view.get_right_margin());
    G_GNUC_BEGIN_IGNORE_DEPRECATIONS
    view_.override_font(editor_view.get_style_context()->get_font());
    G_GNUC_END_IGNORE_DEPRECATIONS
    auto& editor_scroller = static_cast<Gtk::ScrolledWindow&>(const_cast<EditorPane&>(like).widget());
    Gtk::PolicyType horizontal, vertical;
    editor_scroller.get_policy(horizontal, vertical);
    scroller_.set_policy(horizontal, vertical);
    scroller_.set_shadow_type(editor_scroller.get_shadow_type());
    scroller_.add(view_);
    view_.get_buffer()->set_text(codepage::BytesToEditorText(kStarterSkeleton));
  }
  Gtk::Widget& widget() { return scroller_; }
  Gtk::TextView& view() { return view_; }

 private:
  Gtk::ScrolledWindow scroller_;
  Gtk::TextView view_;
};

struct Side {
  std::vector<double> drawn_ms;
  std::vector<double> idle_ms;
};

struct Figures {
  Side program;
  Side bare;
};

// One run of one side: a fresh view in a fresh window, the replacement timed.
void TimeProgram(const std::function<void(EditorPane&)>& replace, bool layout, Side& side) {
  EditorPane pane(EditorSettings::MainEditor());
  PaneWindow window(pane.widget());
  side.drawn_ms.push_back(MillisecondsUntilDrawn(pane.view(), [&] { replace(pane); }));
  if (layout) side.idle_ms.push_back(side.drawn_ms.back() + MillisecondsUntilIdle([] {}));
}

void TimeBare(const std::string& utf8, bool layout, Side& side) {
  EditorPane like(EditorSettings::MainEditor());
  BareTextView bare(like);
  PaneWindow window(bare.widget());
  side.drawn_ms.push_back(MillisecondsUntilDrawn(bare.view(), [&] {
    gtk_text_buffer_set_text(bare.view().get_buffer()->gobj(), utf8.data(), static_cast<int>(utf8.size()));
  }));
  if (layout) side.idle_ms.push_back(side.drawn_ms.back() + MillisecondsUntilIdle([] {}));
}

Figures Measure(int runs, bool layout, const std::function<void(EditorPane&)>& replace, const std::string& utf8) {
  Figures figures;
  for (int run = 0; run < runs; ++run) {
    // Alternate which side goes first, so neither always meets a warmer cache.
    if (run % 2 == 0) {
      TimeProgram(replace, layout, figures.program);
      TimeBare(utf8, layout, figures.bare);
    } else {
      TimeBare(utf8, layout, figures.bare);
      TimeProgram(replace, layout, figures.program);
    }
  }
  return figures;
}

std::string JsonList(const std::vector<double>& values) {
  std::ostringstream out;
  out << "[";
  for (size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << values[i];
  return out.str() + "]";
}

void Print(const std::string& name, const Figures& figures) {
  std::cout << "{\"document\": \"" << name << "\", \"program_drawn_ms\": " << JsonList(figures.program.drawn_ms)
            << ", \"bare_drawn_ms\": " << JsonList(figures.bare.drawn_ms)
            << ", \"program_idle_ms\": " << JsonList(figures.program.idle_ms)
            << ", \"bare_idle_ms\": " << JsonList(figures.bare.idle_ms) << "}" << std::endl;
}

}  // namespace
}  // namespace ostrivel::bench

int main(int argc, char** argv) {
  using namespace ostrivel;
  using namespace ostrivel::bench;
  Gtk::Main toolkit(argc, argv);
  int runs = 7;
  bool layout = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc)
      runs = std::stoi(argv[++i]);
    else if (arg == "--layout")
      layout = true;
    else
      files.push_back(arg);
  }
  if (files.size() != 2) {
    std::cerr << "usage: ostrivel_bench_open [--runs N] [--layout] TEXT_FILE RTF_FILE\n";
    return 2;
  }
  const std::string text = ReadFile(files[0]);
  const std::string rtf = ReadFile(files[1]);
  Print("text", Measure(runs, layout, [&](EditorPane& pane) { pane.ReplaceWithPlainText(text); },
                        codepage::BytesToEditorText(text)));
  Print("rtf", Measure(runs, layout, [&](EditorPane& pane) { pane.ReplaceWithRtf(rtf); },
                       ReadRtf(rtf).PlainText()));
  return 0;
}
