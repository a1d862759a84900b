// The menu of the main window as the program defines it, and the table of shortcut keys an
// item may name.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace ostrivel {

// Accelerator modifier bits.
inline constexpr unsigned kModControl = 0x08;
inline constexpr unsigned kModShift = 0x04;

// Key codes of the shortcut table (the letters are their upper-case ASCII codes).
inline constexpr unsigned kKeyF1 = 0x70;
inline constexpr unsigned kKeyF7 = 0x76;
inline constexpr unsigned kKeyInsert = 0x2D;
inline constexpr unsigned kKeyDelete = 0x2E;

struct ShortcutKey {
  std::string display_name;  // code page 936 text, "Ctrl+O"
  unsigned modifiers = 0;    // kModControl | kModShift
  unsigned key = 0;          // 0: no key
};

inline constexpr int kShortcutKeyCount = 77;
// The 77 entries: 0 none, 1-26 Ctrl+A..Z, 27-38 F1..F12, 39-50 Ctrl+F1.., 51-62 Shift+F1..,
// 63-74 Ctrl+Shift+F1.., 75 Ins, 76 Del.
const std::array<ShortcutKey, kShortcutKeyCount>& ShortcutKeyTable();

// What an item's selected event runs.
enum class MenuHandler { None, Test, Open, Save, Exit, ToggleSilent };

struct MenuItem {
  std::string caption;  // code page 936 text; "-" is a separator
  int level = 0;        // 0: menu bar entry, 1: item of the menu below it, deeper nests
  int shortcut_index = 0;
  bool hidden = false;
  bool disabled = false;
  bool checked = false;
  bool check_item = false;  // shown with a check box (the toolkit needs to know in advance)
  MenuHandler handler = MenuHandler::None;
};

inline constexpr int kFirstCommandId = 20000;

// The nine items of the main window's menu, in their order.
std::vector<MenuItem> MainMenuDefinition();

// Position of "浏览器静默" in the definition.
inline constexpr int kSilentItemPosition = 8;

}  // namespace ostrivel
