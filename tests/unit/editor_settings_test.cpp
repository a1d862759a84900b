#include "editor/editor_settings.h"

#include <gtest/gtest.h>

namespace ostrivel {
namespace {

TEST(EditorSettingsTest, WritesAreClamped) {
  EditorSettings settings;
  settings.set_content_type(7);
  settings.set_border(-2);
  settings.set_max_allow_length(-5);
  settings.set_sel_start(-1);
  settings.set_sel_length(-9);
  EXPECT_EQ(settings.content_type(), ContentType::Rtf);
  EXPECT_EQ(settings.border(), EditorBorder::None);
  EXPECT_EQ(settings.max_allow_length(), 0);
  EXPECT_EQ(settings.sel_start(), 0);
  EXPECT_EQ(settings.sel_length(), -1);
  EXPECT_EQ(EditorSettings().border(), EditorBorder::Sunken);
  EXPECT_EQ(EditorSettings::MainEditor().border(), EditorBorder::ThinSunken);
}

}  // namespace
}  // namespace ostrivel
