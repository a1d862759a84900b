// Turning the menu definition into what the toolkit shows (a menu bar of popups and an
// accelerator list), routing command identifiers, and the run-time item properties.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/menu_definition.h"

namespace ostrivel {

struct BuiltMenuEntry {
  enum class Kind { Item, Separator, Popup };
  Kind kind = Kind::Item;
  std::string text;  // code page 936; an item's text is "caption\tkey name" when it has a key
  int command_id = 0;
  bool checked = false;
  bool check_item = false;
  bool grayed = false;
  std::vector<BuiltMenuEntry> children;  // for popups
  bool operator==(const BuiltMenuEntry&) const = default;
};

struct Accelerator {
  unsigned modifiers = 0;
  unsigned key = 0;
  int command_id = 0;
  bool operator==(const Accelerator&) const = default;
};

struct BuiltMenu {
  std::vector<BuiltMenuEntry> bar;         // popups of the menu bar, in order
  std::vector<Accelerator> accelerators;   // in the order of the definition
};

// Builds the menu bar and accelerator list; every item's identifier is 20000 + its position.
BuiltMenu BuildMenu(const std::vector<MenuItem>& definition);

// Where a command identifier goes.
enum class CommandRoute {
  SystemReserved,  // >= 0xE100: ignored, reported as handled
  NotAMenuCommand, // < 20000: the toolkit's own handling applies
  MenuItem,        // a position inside the definition
  OutOfRange,      // beyond the definition: ignored
};
CommandRoute RouteCommand(int command_id, std::size_t item_count);

// The handler a command runs, or nullopt when nothing runs: no handler, out of range, or
// events are held.
std::optional<MenuHandler> HandlerForCommand(int command_id, const std::vector<MenuItem>& definition,
                                             bool events_held);

// Run-time properties of a menu item, by number.
enum class MenuItemProperty { Caption = 0, Checked = 1, Disabled = 2, Visible = 3 };

// Reads a logical property as 0 or 1.
int ReadMenuFlag(const MenuItem& item, MenuItemProperty property);
// Writes a logical property (any non-zero value is true). True when the value changed, in
// which case the caller rebuilds the menu bar and accelerators.
bool WriteMenuFlag(MenuItem& item, MenuItemProperty property, int value);
// Writes the caption; compared byte for byte. True when it changed.
bool WriteMenuCaption(MenuItem& item, const std::string& caption);

}  // namespace ostrivel
