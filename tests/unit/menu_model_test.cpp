#include "app/menu_model.h"

#include <gtest/gtest.h>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

std::string Gbk(std::string_view utf8) { return codepage::Utf8ToCp936(utf8); }

TEST(ShortcutKeyTable, FollowsTheRuleForAllEntries) {
  const auto& table = ShortcutKeyTable();
  struct Case {
    int index;
    std::string name;
    unsigned modifiers;
    unsigned key;
  } cases[] = {
      {0, Gbk("（无）"), 0, 0},
      {1, "Ctrl+A", kModControl, 'A'},
      {15, "Ctrl+O", kModControl, 'O'},
      {26, "Ctrl+Z", kModControl, 'Z'},
      {27, "F1", 0, 0x70},
      {33, "F7", 0, 0x76},
      {38, "F12", 0, 0x7B},
      {39, "Ctrl+F1", kModControl, 0x70},
      {51, "Shift+F1", kModShift, 0x70},
      {62, "Shift+F12", kModShift, 0x7B},
      {63, "Ctrl+Shift+F1", kModControl | kModShift, 0x70},
      {74, "Ctrl+Shift+F12", kModControl | kModShift, 0x7B},
      {75, "Ins", 0, 0x2D},
      {76, "Del", 0, 0x2E},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.index);
    EXPECT_EQ(table[c.index].display_name, c.name);
    EXPECT_EQ(table[c.index].modifiers, c.modifiers);
    EXPECT_EQ(table[c.index].key, c.key);
  }
}

TEST(BuildMenu, MainMenuGivesTwoPopupsWithKeyNamesAndSeparators) {
  const BuiltMenu menu = BuildMenu(MainMenuDefinition());
  ASSERT_EQ(menu.bar.size(), 2u);
  EXPECT_EQ(menu.bar[0].text, Gbk("&F.程序"));
  EXPECT_EQ(menu.bar[1].text, Gbk("&S.设置"));
  using Kind = BuiltMenuEntry::Kind;
  const auto& program = menu.bar[0].children;
  ASSERT_EQ(program.size(), 6u);
  const std::pair<Kind, std::string> expected[] = {
      {Kind::Item, Gbk("测试\tF7")},      {Kind::Separator, ""},
      {Kind::Item, Gbk("打开\tCtrl+O")},  {Kind::Item, Gbk("保存\tCtrl+S")},
      {Kind::Separator, ""},              {Kind::Item, Gbk("退出\tCtrl+Q")},
  };
  const int ids[] = {20001, 20002, 20003, 20004, 20005, 20006};
  for (std::size_t i = 0; i < program.size(); ++i) {
    EXPECT_EQ(program[i].kind, expected[i].first) << i;
    EXPECT_EQ(program[i].text, expected[i].second) << i;
    EXPECT_EQ(program[i].command_id, ids[i]) << i;
  }
  ASSERT_EQ(menu.bar[1].children.size(), 1u);
  EXPECT_EQ(menu.bar[1].children[0].text, Gbk("浏览器静默\tF1"));
  EXPECT_EQ(menu.bar[1].children[0].command_id, 20008);
  EXPECT_FALSE(menu.bar[1].children[0].checked);

  const std::vector<Accelerator> accelerators = {
      {0, kKeyF7, 20001}, {kModControl, 'O', 20003}, {kModControl, 'S', 20004},
      {kModControl, 'Q', 20006}, {0, kKeyF1, 20008}};
  EXPECT_EQ(menu.accelerators, accelerators);
}

TEST(BuildMenu, HiddenItemsKeepTheirIdentifiersAndDropTheirKeys) {
  auto definition = MainMenuDefinition();
  definition[1].hidden = true;   // 测试
  definition[7].hidden = true;   // the whole 设置 menu
  definition[4].disabled = true;
  definition[8].checked = true;
  const BuiltMenu menu = BuildMenu(definition);
  ASSERT_EQ(menu.bar.size(), 1u);
  const auto& program = menu.bar[0].children;
  ASSERT_EQ(program.size(), 5u);
  EXPECT_EQ(program[0].kind, BuiltMenuEntry::Kind::Separator);
  EXPECT_EQ(program[2].command_id, 20004);
  EXPECT_TRUE(program[2].grayed);
  const std::vector<Accelerator> accelerators = {
      {kModControl, 'O', 20003}, {kModControl, 'S', 20004}, {kModControl, 'Q', 20006}};
  EXPECT_EQ(menu.accelerators, accelerators);
}

TEST(BuildMenu, NestedPopupsAndNoKeyEntries) {
  std::vector<MenuItem> definition(5);
  definition[0] = {"Top", 0};
  definition[1] = {"Sub", 1};
  definition[2] = {"Deep", 2, 76};
  definition[3] = {"Back", 1, 0};
  definition[4] = {"-", 1, 0};
  const BuiltMenu menu = BuildMenu(definition);
  ASSERT_EQ(menu.bar.size(), 1u);
  const auto& top = menu.bar[0].children;
  ASSERT_EQ(top.size(), 3u);
  EXPECT_EQ(top[0].kind, BuiltMenuEntry::Kind::Popup);
  EXPECT_EQ(top[0].command_id, 20001);
  ASSERT_EQ(top[0].children.size(), 1u);
  EXPECT_EQ(top[0].children[0].text, "Deep\tDel");
  EXPECT_EQ(top[1].text, "Back");
  EXPECT_EQ(top[2].kind, BuiltMenuEntry::Kind::Separator);
  ASSERT_EQ(menu.accelerators.size(), 1u);
  EXPECT_EQ(menu.accelerators[0].command_id, 20002);

  definition[1].hidden = true;  // a hidden nested menu takes its keys with it
  EXPECT_TRUE(BuildMenu(definition).accelerators.empty());
}

TEST(RouteCommand, ThreeRangesAndTheDefinitionsEnd) {
  EXPECT_EQ(RouteCommand(0xE100, 9), CommandRoute::SystemReserved);
  EXPECT_EQ(RouteCommand(19999, 9), CommandRoute::NotAMenuCommand);
  EXPECT_EQ(RouteCommand(20000, 9), CommandRoute::MenuItem);
  EXPECT_EQ(RouteCommand(20008, 9), CommandRoute::MenuItem);
  EXPECT_EQ(RouteCommand(20009, 9), CommandRoute::OutOfRange);

  const auto definition = MainMenuDefinition();
  const std::pair<int, std::optional<MenuHandler>> cases[] = {
      {20000, std::nullopt},           {20001, MenuHandler::Test},
      {20002, std::nullopt},           {20003, MenuHandler::Open},
      {20004, MenuHandler::Save},      {20005, std::nullopt},
      {20006, MenuHandler::Exit},      {20007, std::nullopt},
      {20008, MenuHandler::ToggleSilent}, {20009, std::nullopt},
      {57600, std::nullopt},           {100, std::nullopt}};
  for (const auto& [id, handler] : cases) EXPECT_EQ(HandlerForCommand(id, definition, false), handler) << id;
  EXPECT_EQ(HandlerForCommand(20001, definition, /*events_held=*/true), std::nullopt);
}

TEST(MenuItemProperties, WritesReportOnlyRealChanges) {
  MenuItem item = MainMenuDefinition()[kSilentItemPosition];
  EXPECT_EQ(ReadMenuFlag(item, MenuItemProperty::Checked), 0);
  EXPECT_EQ(ReadMenuFlag(item, MenuItemProperty::Visible), 1);
  EXPECT_FALSE(WriteMenuFlag(item, MenuItemProperty::Checked, 0));
  EXPECT_TRUE(WriteMenuFlag(item, MenuItemProperty::Checked, 7));
  EXPECT_EQ(ReadMenuFlag(item, MenuItemProperty::Checked), 1);
  EXPECT_FALSE(WriteMenuFlag(item, MenuItemProperty::Checked, -1));
  EXPECT_TRUE(WriteMenuFlag(item, MenuItemProperty::Visible, 0));
  EXPECT_TRUE(item.hidden);
  EXPECT_FALSE(WriteMenuCaption(item, item.caption));
  EXPECT_TRUE(WriteMenuCaption(item, ""));
}

}  // namespace
}  // namespace ostrivel
