#include "app/layout.h"

namespace ostrivel {

Point CenteredOrigin(int screen_width, int screen_height, int width, int height) {
  return {(screen_width - width) / 2, (screen_height - height) / 2};
}

std::optional<Rect> MoveTarget(const Rect& current, std::optional<int> left, std::optional<int> top,
                               std::optional<int> width, std::optional<int> height) {
  Rect target = current;
  if (left) target.left = *left;
  if (top) target.top = *top;
  if (width && *width != -1) target.width = *width;
  if (height && *height != -1) target.height = *height;
  if (target == current) return std::nullopt;
  return target;
}

namespace {
// Half of the client width with its fraction cut off (the width is never negative).
int HalfWidth(int client_width) { return static_cast<int>(client_width / 2.0); }
}  // namespace

void LayoutPanes(PaneLayoutHost& host) {
  using Pane = PaneLayoutHost::Pane;
  host.MoveControl(Pane::Editor, 0, 0, HalfWidth(host.ClientWidth()), host.ClientHeight());
  // Read again: the move may have changed the client area (a scroll bar, a re-layout).
  const int half = HalfWidth(host.ClientWidth());
  const int height = host.ClientHeight();
  host.MoveControl(Pane::Browser, host.PaneWidth(Pane::Editor), 0, half, height);
}

}  // namespace ostrivel
