#include "app/menu_model.h"

namespace ostrivel {
namespace {

// Walks the definition from `position`, filling `popup` with the items deeper than `level`.
// Every item passed takes its identifier (kFirstCommandId + position), shown or not.
class MenuWalker {
 public:
  explicit MenuWalker(const std::vector<MenuItem>& definition) : definition_(definition) {}

  BuiltMenu Build() {
    BuiltMenu menu;
    std::size_t position = 0;
    while (position < definition_.size()) {
      const MenuItem& entry = definition_[position];
      const int level = entry.level;
      if (entry.hidden) {
        position = SkipDeeper(position + 1, level);
        continue;
      }
      BuiltMenuEntry popup;
      popup.kind = BuiltMenuEntry::Kind::Popup;
      popup.text = entry.caption;  // menu bar entries carry no key name
      popup.command_id = CommandId(position);
      popup.grayed = entry.disabled;
      position = FillPopup(popup, position + 1, level, menu.accelerators);
      menu.bar.push_back(std::move(popup));
    }
    return menu;
  }

 private:
  static int CommandId(std::size_t position) { return kFirstCommandId + static_cast<int>(position); }

  std::size_t SkipDeeper(std::size_t position, int level) const {
    while (position < definition_.size() && definition_[position].level > level) ++position;
    return position;
  }

  bool HasDeeperFollower(std::size_t position) const {
    return position + 1 < definition_.size() &&
           definition_[position + 1].level > definition_[position].level;
  }

  std::size_t FillPopup(BuiltMenuEntry& popup, std::size_t position, int level,
                        std::vector<Accelerator>& accelerators) const {
    while (position < definition_.size() && definition_[position].level > level) {
      const MenuItem& item = definition_[position];
      if (HasDeeperFollower(position)) {
        if (item.hidden) {  // a hidden nested menu is skipped with everything inside it
          position = SkipDeeper(position + 1, item.level);
          continue;
        }
        BuiltMenuEntry nested;
        nested.kind = BuiltMenuEntry::Kind::Popup;
        nested.text = item.caption;
        nested.command_id = CommandId(position);
        nested.grayed = item.disabled;
        position = FillPopup(nested, position + 1, item.level, accelerators);
        popup.children.push_back(std::move(nested));
        continue;
      }
      AppendItem(popup, item, position, accelerators);
      ++position;
    }
    return position;
  }

  static void AppendItem(BuiltMenuEntry& popup, const MenuItem& item, std::size_t position,
                         std::vector<Accelerator>& accelerators) {
    if (item.hidden) return;
    std::string text = item.caption;
    const bool has_key = item.shortcut_index >= 1 && item.shortcut_index < kShortcutKeyCount;
    if (has_key) text += "\t" + ShortcutKeyTable()[item.shortcut_index].display_name;
    BuiltMenuEntry entry;
    entry.command_id = CommandId(position);
    if (text == "-") {
      entry.kind = BuiltMenuEntry::Kind::Separator;
      popup.children.push_back(std::move(entry));
      return;
    }
    entry.text = std::move(text);
    entry.checked = item.checked;
    entry.check_item = item.check_item;
    entry.grayed = item.disabled;
    popup.children.push_back(std::move(entry));
    if (item.shortcut_index > 0 && item.shortcut_index < kShortcutKeyCount) {
      const ShortcutKey& key = ShortcutKeyTable()[item.shortcut_index];
      if (key.key != 0) accelerators.push_back({key.modifiers, key.key, CommandId(position)});
    }
  }

  const std::vector<MenuItem>& definition_;
};

}  // namespace

BuiltMenu BuildMenu(const std::vector<MenuItem>& definition) { return MenuWalker(definition).Build(); }

CommandRoute RouteCommand(int command_id, std::size_t item_count) {
  if (command_id >= 0xE100) return CommandRoute::SystemReserved;
  if (command_id < kFirstCommandId) return CommandRoute::NotAMenuCommand;
  const auto position = static_cast<std::size_t>(command_id - kFirstCommandId);
  return position < item_count ? CommandRoute::MenuItem : CommandRoute::OutOfRange;
}

std::optional<MenuHandler> HandlerForCommand(int command_id, const std::vector<MenuItem>& definition,
                                             bool events_held) {
  if (events_held || RouteCommand(command_id, definition.size()) != CommandRoute::MenuItem)
    return std::nullopt;
  const MenuHandler handler = definition[command_id - kFirstCommandId].handler;
  if (handler == MenuHandler::None) return std::nullopt;
  return handler;
}

int ReadMenuFlag(const MenuItem& item, MenuItemProperty property) {
  switch (property) {
    case MenuItemProperty::Checked: return item.checked ? 1 : 0;
    case MenuItemProperty::Disabled: return item.disabled ? 1 : 0;
    case MenuItemProperty::Visible: return item.hidden ? 0 : 1;
    case MenuItemProperty::Caption: break;
  }
  return 0;
}

bool WriteMenuFlag(MenuItem& item, MenuItemProperty property, int value) {
  const bool on = value != 0;
  if (ReadMenuFlag(item, property) == (on ? 1 : 0)) return false;
  switch (property) {
    case MenuItemProperty::Checked: item.checked = on; break;
    case MenuItemProperty::Disabled: item.disabled = on; break;
    case MenuItemProperty::Visible: item.hidden = !on; break;
    case MenuItemProperty::Caption: return false;
  }
  return true;
}

bool WriteMenuCaption(MenuItem& item, const std::string& caption) {
  if (item.caption == caption) return false;
  item.caption = caption;
  return true;
}

}  // namespace ostrivel
