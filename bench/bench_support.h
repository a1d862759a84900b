// What the in-process benches share: a clock, medians, and a window the size of Ostrivel's
// editor pane in which a text view is realized and laid out as it is in the program.
#pragma once

#include <gtkmm/main.h>
#include <gtkmm/window.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace ostrivel::bench {

// The editor pane's size in the 800 x 600 window: half the width, the height below the menu.
inline constexpr int kPaneWidth = 400;
inline constexpr int kPaneHeight = 575;

inline double MillisecondsOf(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs the main loop until `done` holds; blocking iterations, so waiting costs no CPU that
// the measured work could have had.
inline void RunUntil(const std::function<bool()>& done) {
  while (!done()) Gtk::Main::iteration(true);
}

inline void Flush() {
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
}

// Runs `change` and then the main loop until `view` has drawn a frame after it: the time a
// user waits before the new text is on the screen (the visible lines laid out and painted).
// Lines out of sight are laid out later in idle time by the toolkit, on both sides alike.
inline double MillisecondsUntilDrawn(Gtk::Widget& view, const std::function<void()>& change) {
  bool drawn = false;
  const auto start = std::chrono::steady_clock::now();
  change();
  auto connection = view.signal_draw().connect([&drawn](const Cairo::RefPtr<Cairo::Context>&) {
    drawn = true;
    return false;
  }, /*after=*/true);
  view.queue_draw();
  RunUntil([&drawn] { return drawn; });
  connection.disconnect();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Runs the main loop until nothing is left to do, including the toolkit's idle layout of
// every line of a text view: the cost of laying out the whole text.
inline double MillisecondsUntilIdle(const std::function<void()>& change) {
  return MillisecondsOf([&] {
    change();
    Flush();
  });
}

// A toplevel of the editor pane's size holding `child`, mapped and drawn once.
class PaneWindow {
 public:
  explicit PaneWindow(Gtk::Widget& child) {
    window_.set_default_size(kPaneWidth, kPaneHeight);
    window_.add(child);
    window_.show_all();
    bool drawn = false;
    auto connection = window_.signal_draw().connect([&drawn](const Cairo::RefPtr<Cairo::Context>&) {
      drawn = true;
      return false;
    }, true);
    RunUntil([&drawn] { return drawn; });
    connection.disconnect();
    Flush();
  }
  ~PaneWindow() { window_.remove(); }
  PaneWindow(const PaneWindow&) = delete;
  PaneWindow& operator=(const PaneWindow&) = delete;

 private:
  Gtk::Window window_;
};

}  // namespace ostrivel::bench
