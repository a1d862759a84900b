// The client area of the main window: places each pane at an exact pixel rectangle and asks
// for no size of its own, so the window can be made as small as the user likes.
#pragma once

#include <gtkmm/container.h>

#include <functional>
#include <vector>

#include "app/layout.h"

namespace ostrivel {

class PaneContainer : public Gtk::Container {
 public:
  PaneContainer();

  // Adds a pane (not owned) at a rectangle in client coordinates.
  void AddPane(Gtk::Widget& pane, const Rect& rect);
  Rect PaneRect(const Gtk::Widget& pane) const;
  // Places the pane; an empty rectangle hides it until it gets a size again.
  void PlacePane(Gtk::Widget& pane, const Rect& rect);

  // Called on every size report with the new client size, before the panes are placed.
  void SetSizeReport(std::function<void()> report) { size_report_ = std::move(report); }

 protected:
  Gtk::SizeRequestMode get_request_mode_vfunc() const override;
  void get_preferred_width_vfunc(int& minimum, int& natural) const override;
  void get_preferred_height_vfunc(int& minimum, int& natural) const override;
  void get_preferred_width_for_height_vfunc(int, int& minimum, int& natural) const override;
  void get_preferred_height_for_width_vfunc(int, int& minimum, int& natural) const override;
  void on_size_allocate(Gtk::Allocation& allocation) override;
  void forall_vfunc(gboolean include_internals, GtkCallback callback, gpointer data) override;
  void on_add(Gtk::Widget* child) override;
  void on_remove(Gtk::Widget* child) override;
  GType child_type_vfunc() const override;

 private:
  struct Pane {
    Gtk::Widget* widget;
    Rect rect;
  };
  Pane* Find(const Gtk::Widget& widget);
  const Pane* Find(const Gtk::Widget& widget) const;
  void AllocatePane(Pane& pane);

  std::vector<Pane> panes_;
  std::function<void()> size_report_;
  bool allocating_ = false;
};

}  // namespace ostrivel
