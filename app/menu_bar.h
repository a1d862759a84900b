// The toolkit's menu bar and accelerator group, made from a built menu.
#pragma once

#include <gtkmm/accelgroup.h>
#include <gtkmm/menubar.h>

#include <functional>
#include <memory>

#include "app/menu_model.h"

namespace ostrivel {

// The toolkit key for a key of the shortcut table (0 when there is none).
guint KeyvalForShortcutKey(unsigned key);
Gdk::ModifierType ModifiersForShortcut(unsigned modifiers);

// "&F.程序" -> "_F.程序": the letter after "&" becomes the access key; a literal "_" is kept.
std::string MnemonicLabel(const std::string& utf8_caption);

struct ToolkitMenu {
  std::unique_ptr<Gtk::MenuBar> bar;
  Glib::RefPtr<Gtk::AccelGroup> accelerators;
};

// Every item click and every accelerator calls `command` with the item's identifier.
ToolkitMenu MakeToolkitMenu(const BuiltMenu& menu, const std::function<void(int)>& command);

}  // namespace ostrivel
