// The arithmetic of the main window: where it goes on the screen and where the two panes go
// in its client area.
#pragma once

#include <optional>

namespace ostrivel {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

struct Point {
  int x = 0;
  int y = 0;
  bool operator==(const Point&) const = default;
};

inline constexpr int kWindowWidth = 800;
inline constexpr int kWindowHeight = 600;

// Top-left corner that centres a window of the given outer size on a screen; the division
// truncates toward zero, so a screen smaller than the window gives a negative corner.
Point CenteredOrigin(int screen_width, int screen_height, int width = kWindowWidth,
                     int height = kWindowHeight);

// The rectangle a move asks for: each value left out keeps the current edge; a width or
// height of -1 keeps the current one. nullopt when the result equals the current rectangle,
// so that nothing is moved or repainted.
std::optional<Rect> MoveTarget(const Rect& current, std::optional<int> left, std::optional<int> top,
                               std::optional<int> width, std::optional<int> height);

// What the layout of the two panes needs from the window.
class PaneLayoutHost {
 public:
  enum class Pane { Editor, Browser };
  virtual ~PaneLayoutHost() = default;
  virtual int ClientWidth() const = 0;
  virtual int ClientHeight() const = 0;
  virtual int PaneWidth(Pane pane) const = 0;  // current outer width
  virtual void MoveControl(Pane pane, std::optional<int> left, std::optional<int> top,
                           std::optional<int> width, std::optional<int> height) = 0;
};

// Both panes cw div 2 wide and as tall as the client area: the editor at the left edge, the
// browser pane where the editor ends. An odd right-most column stays uncovered.
void LayoutPanes(PaneLayoutHost& host);

}  // namespace ostrivel
