// Helpers for in-process GUI tests: spin the main loop until something happens.
#pragma once

#include <gtkmm/main.h>

#include <chrono>
#include <functional>

namespace ostrivel::testing {

// Runs the main loop until `done` holds or the generous bound passes; true when it held.
inline bool RunUntil(const std::function<bool()>& done, std::chrono::seconds bound = std::chrono::seconds(60)) {
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    Gtk::Main::iteration(false);
    if (!Gtk::Main::events_pending()) g_usleep(1000);
  }
  return true;
}

// Lets everything that is already queued run.
inline void Flush() {
  while (Gtk::Main::events_pending()) Gtk::Main::iteration(false);
}

}  // namespace ostrivel::testing

namespace ostrivel::testing {

// Delivers a key press and release to a toplevel window as the toolkit would, with the
// keyboard focus wherever the window has it.
inline void SendKey(Gtk::Window& window, guint keyval, GdkModifierType state = GdkModifierType(0)) {
  GdkWindow* gdk_window = window.get_window()->gobj();
  GdkDisplay* display = gdk_window_get_display(gdk_window);
  GdkDevice* keyboard = gdk_seat_get_keyboard(gdk_display_get_default_seat(display));
  GdkKeymapKey* keys = nullptr;
  gint n_keys = 0;
  guint16 keycode = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &n_keys) && n_keys > 0)
    keycode = static_cast<guint16>(keys[0].keycode);
  g_free(keys);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gdk_window));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.state = state;
    event->key.keyval = keyval;
    event->key.hardware_keycode = keycode;
    gdk_event_set_device(event, keyboard);
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
}

}  // namespace ostrivel::testing
