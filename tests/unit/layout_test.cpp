#include "app/layout.h"

#include <gtest/gtest.h>

#include <map>

namespace ostrivel {
namespace {

TEST(CenteredOrigin, TruncatesTowardZero) {
  EXPECT_EQ(CenteredOrigin(1024, 768), (Point{112, 84}));
  EXPECT_EQ(CenteredOrigin(640, 480), (Point{-80, -60}));
  EXPECT_EQ(CenteredOrigin(801, 601), (Point{0, 0}));
  EXPECT_EQ(CenteredOrigin(799, 599), (Point{0, 0}));  // -1 / 2 truncates to 0, not -1
}

TEST(MoveTarget, KeepsWhatIsLeftOutAndSkipsNoChange) {
  const Rect current{10, 20, 30, 40};
  EXPECT_EQ(MoveTarget(current, 10, 20, 30, 40), std::nullopt);
  EXPECT_EQ(MoveTarget(current, std::nullopt, std::nullopt, -1, -1), std::nullopt);
  EXPECT_EQ(MoveTarget(current, 0, std::nullopt, std::nullopt, 5), (Rect{0, 20, 30, 5}));
  EXPECT_EQ(MoveTarget(current, std::nullopt, 0, 0, std::nullopt), (Rect{10, 0, 0, 40}));
}

// A window whose panes are plain rectangles, counting the moves the layout makes.
class FakeWindow : public PaneLayoutHost {
 public:
  int client_width = 0;
  int client_height = 0;
  std::map<Pane, Rect> panes{{Pane::Editor, {0, 0, 208, 304}}, {Pane::Browser, {208, 0, 192, 304}}};
  int moves = 0;

  int ClientWidth() const override { return client_width; }
  int ClientHeight() const override { return client_height; }
  int PaneWidth(Pane pane) const override { return panes.at(pane).width; }
  void MoveControl(Pane pane, std::optional<int> left, std::optional<int> top,
                   std::optional<int> width, std::optional<int> height) override {
    if (auto target = MoveTarget(panes[pane], left, top, width, height)) {
      panes[pane] = *target;
      ++moves;
    }
  }
};

TEST(LayoutPanes, SplitsTheClientAreaInHalves) {
  struct Case {
    int width, height;
    Rect editor, browser;
  } cases[] = {
      {784, 541, {0, 0, 392, 541}, {392, 0, 392, 541}},
      {785, 541, {0, 0, 392, 541}, {392, 0, 392, 541}},  // x = 784 stays uncovered
      {1, 10, {0, 0, 0, 10}, {0, 0, 0, 10}},
      {0, 0, {0, 0, 0, 0}, {0, 0, 0, 0}},  // iconified
  };
  for (const auto& c : cases) {
    FakeWindow window;
    window.client_width = c.width;
    window.client_height = c.height;
    LayoutPanes(window);
    EXPECT_EQ(window.panes[PaneLayoutHost::Pane::Editor], c.editor) << c.width;
    EXPECT_EQ(window.panes[PaneLayoutHost::Pane::Browser], c.browser) << c.width;
  }
}

TEST(LayoutPanes, AnUnchangedClientAreaMovesNothing) {
  FakeWindow window;
  window.client_width = 784;
  window.client_height = 541;
  LayoutPanes(window);
  EXPECT_EQ(window.moves, 2);
  LayoutPanes(window);
  EXPECT_EQ(window.moves, 2);
}

}  // namespace
}  // namespace ostrivel
