#include "app/pane_container.h"

#include <algorithm>

namespace ostrivel {

PaneContainer::PaneContainer() {
  set_has_window(false);
  set_redraw_on_allocate(false);
}

PaneContainer::Pane* PaneContainer::Find(const Gtk::Widget& widget) {
  auto it = std::find_if(panes_.begin(), panes_.end(), [&](const Pane& p) { return p.widget == &widget; });
  return it == panes_.end() ? nullptr : &*it;
}

const PaneContainer::Pane* PaneContainer::Find(const Gtk::Widget& widget) const {
  return const_cast<PaneContainer*>(this)->Find(widget);
}

void PaneContainer::AddPane(Gtk::Widget& pane, const Rect& rect) {
  panes_.push_back({&pane, rect});
  pane.set_parent(*this);
}

Rect PaneContainer::PaneRect(const Gtk::Widget& pane) const {
  const Pane* found = Find(pane);
  return found ? found->rect : Rect{};
}

void PaneContainer::PlacePane(Gtk::Widget& widget, const Rect& rect) {
  Pane* pane = Find(widget);
  if (!pane) return;
  pane->rect = rect;
  // During a size report the panes are placed right after it; otherwise place it now.
  if (!allocating_ && get_realized()) AllocatePane(*pane);
}

void PaneContainer::AllocatePane(Pane& pane) {
  const bool has_area = pane.rect.width > 0 && pane.rect.height > 0;
  pane.widget->set_child_visible(has_area);
  if (!has_area) return;
  // The toolkit wants every allocation preceded by a size request.
  Gtk::Requisition minimum, natural;
  pane.widget->get_preferred_size(minimum, natural);
  const Gtk::Allocation area = get_allocation();
  Gtk::Allocation child(area.get_x() + pane.rect.left, area.get_y() + pane.rect.top,
                        pane.rect.width, pane.rect.height);
  pane.widget->size_allocate(child);
}

Gtk::SizeRequestMode PaneContainer::get_request_mode_vfunc() const {
  return Gtk::SIZE_REQUEST_CONSTANT_SIZE;
}
void PaneContainer::get_preferred_width_vfunc(int& minimum, int& natural) const { minimum = natural = 1; }
void PaneContainer::get_preferred_height_vfunc(int& minimum, int& natural) const { minimum = natural = 1; }
void PaneContainer::get_preferred_width_for_height_vfunc(int, int& minimum, int& natural) const {
  minimum = natural = 1;
}
void PaneContainer::get_preferred_height_for_width_vfunc(int, int& minimum, int& natural) const {
  minimum = natural = 1;
}

void PaneContainer::on_size_allocate(Gtk::Allocation& allocation) {
  set_allocation(allocation);
  allocating_ = true;
  if (size_report_) size_report_();
  allocating_ = false;
  for (Pane& pane : panes_) AllocatePane(pane);
}

void PaneContainer::forall_vfunc(gboolean, GtkCallback callback, gpointer data) {
  // The callback may remove the child; walk a copy.
  const auto panes = panes_;
  for (const Pane& pane : panes) callback(pane.widget->gobj(), data);
}

void PaneContainer::on_add(Gtk::Widget* child) { AddPane(*child, {}); }

void PaneContainer::on_remove(Gtk::Widget* child) {
  auto it = std::find_if(panes_.begin(), panes_.end(), [&](const Pane& p) { return p.widget == child; });
  if (it == panes_.end()) return;
  const bool was_visible = child->get_visible();
  panes_.erase(it);
  child->unparent();
  if (was_visible && get_visible()) queue_resize();
}

GType PaneContainer::child_type_vfunc() const { return G_TYPE_NONE; }

}  // namespace ostrivel
