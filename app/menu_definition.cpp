#include "app/menu_definition.h"

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

std::string Gbk(std::string_view utf8) { return codepage::Utf8ToCp936(utf8); }

std::array<ShortcutKey, kShortcutKeyCount> MakeShortcutKeyTable() {
  std::array<ShortcutKey, kShortcutKeyCount> table;
  table[0] = {Gbk("（无）"), 0, 0};
  int index = 1;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    table[index++] = {std::string("Ctrl+") + letter, kModControl, static_cast<unsigned>(letter)};
  const struct {
    const char* prefix;
    unsigned modifiers;
  } function_key_groups[] = {{"", 0},
                             {"Ctrl+", kModControl},
                             {"Shift+", kModShift},
                             {"Ctrl+Shift+", kModControl | kModShift}};
  for (const auto& group : function_key_groups)
    for (unsigned n = 1; n <= 12; ++n)
      table[index++] = {group.prefix + std::string("F") + std::to_string(n), group.modifiers,
                        kKeyF1 + n - 1};
  table[index++] = {"Ins", 0, kKeyInsert};
  table[index++] = {"Del", 0, kKeyDelete};
  return table;
}

}  // namespace

const std::array<ShortcutKey, kShortcutKeyCount>& ShortcutKeyTable() {
  static const auto table = MakeShortcutKeyTable();
  return table;
}

std::vector<MenuItem> MainMenuDefinition() {
  auto item = [](std::string_view caption, int level, int shortcut, MenuHandler handler) {
    MenuItem m;
    m.caption = Gbk(caption);
    m.level = level;
    m.shortcut_index = shortcut;
    m.handler = handler;
    return m;
  };
  std::vector<MenuItem> items = {
      item("&F.程序", 0, 0, MenuHandler::None),
      item("测试", 1, 33, MenuHandler::Test),
      item("-", 1, 0, MenuHandler::None),
      item("打开", 1, 15, MenuHandler::Open),
      item("保存", 1, 19, MenuHandler::Save),
      item("-", 1, 0, MenuHandler::None),
      item("退出", 1, 17, MenuHandler::Exit),
      item("&S.设置", 0, 0, MenuHandler::None),
      item("浏览器静默", 1, 27, MenuHandler::ToggleSilent),
  };
  items[kSilentItemPosition].check_item = true;
  return items;
}

}  // namespace ostrivel
