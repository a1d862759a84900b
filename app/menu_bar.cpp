#include "app/menu_bar.h"

#include <gdk/gdkkeysyms.h>
#include <gtkmm/box.h>
#include <gtkmm/checkmenuitem.h>
#include <gtkmm/label.h>
#include <gtkmm/menu.h>
#include <gtkmm/separatormenuitem.h>

#include "codepage/codepage.h"

namespace ostrivel {

guint KeyvalForShortcutKey(unsigned key) {
  if (key >= 'A' && key <= 'Z') return GDK_KEY_a + (key - 'A');
  if (key >= kKeyF1 && key < kKeyF1 + 12) return GDK_KEY_F1 + (key - kKeyF1);
  if (key == kKeyInsert) return GDK_KEY_Insert;
  if (key == kKeyDelete) return GDK_KEY_Delete;
  return 0;
}

Gdk::ModifierType ModifiersForShortcut(unsigned modifiers) {
  auto result = Gdk::ModifierType(0);
  if (modifiers & kModControl) result |= Gdk::CONTROL_MASK;
  if (modifiers & kModShift) result |= Gdk::SHIFT_MASK;
  return result;
}

std::string MnemonicLabel(const std::string& caption) {
  std::string label;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '_') {
      label += "__";
    } else if (caption[i] == '&' && i + 1 < caption.size()) {
      label += caption[i + 1] == '&' ? "&" : "_";
      if (caption[i + 1] == '&') ++i;
    } else {
      label += caption[i];
    }
  }
  return label;
}

namespace {

// An item shows its caption and, after the tab, the key's display name in the shortcut column.
Gtk::MenuItem* MakeItem(const BuiltMenuEntry& entry, const std::function<void(int)>& command) {
  const std::string text = codepage::Cp936ToUtf8(entry.text);
  const auto tab = text.find('\t');
  Gtk::MenuItem* item = entry.check_item ? Gtk::manage(new Gtk::CheckMenuItem) : Gtk::manage(new Gtk::MenuItem);
  auto* box = Gtk::manage(new Gtk::Box(Gtk::ORIENTATION_HORIZONTAL, 12));
  auto* caption = Gtk::manage(new Gtk::Label(text.substr(0, tab)));
  caption->set_xalign(0.0f);
  box->pack_start(*caption, Gtk::PACK_EXPAND_WIDGET);
  if (tab != std::string::npos) {
    auto* key = Gtk::manage(new Gtk::Label(text.substr(tab + 1)));
    key->get_style_context()->add_class("accelerator");
    key->set_xalign(1.0f);
    box->pack_end(*key, Gtk::PACK_SHRINK);
  }
  item->add(*box);
  if (auto* check = dynamic_cast<Gtk::CheckMenuItem*>(item)) check->set_active(entry.checked);
  item->set_sensitive(!entry.grayed);
  const int id = entry.command_id;
  // A check item toggles itself when clicked; its state is the program's, so the click only
  // sends the command and the rebuilt menu shows the new state.
  item->signal_activate().connect([command, id] { command(id); });
  return item;
}

void FillMenu(Gtk::MenuShell& shell, const std::vector<BuiltMenuEntry>& entries,
              const std::function<void(int)>& command) {
  for (const BuiltMenuEntry& entry : entries) {
    switch (entry.kind) {
      case BuiltMenuEntry::Kind::Separator:
        shell.append(*Gtk::manage(new Gtk::SeparatorMenuItem));
        break;
      case BuiltMenuEntry::Kind::Item:
        shell.append(*MakeItem(entry, command));
        break;
      case BuiltMenuEntry::Kind::Popup: {
        auto* item = Gtk::manage(new Gtk::MenuItem(MnemonicLabel(codepage::Cp936ToUtf8(entry.text)), true));
        auto* submenu = Gtk::manage(new Gtk::Menu);
        FillMenu(*submenu, entry.children, command);
        item->set_submenu(*submenu);
        item->set_sensitive(!entry.grayed);
        shell.append(*item);
        break;
      }
    }
  }
}

// The accelerator group owns the closure, and the closure owns the command it sends.
struct AcceleratorCommand {
  std::function<void(int)> command;
  int id;
};

gboolean OnAccelerator(GtkAccelGroup*, GObject*, guint, GdkModifierType, gpointer data) {
  const auto* accelerator = static_cast<const AcceleratorCommand*>(data);
  accelerator->command(accelerator->id);
  return TRUE;
}

GClosure* MakeAcceleratorClosure(const std::function<void(int)>& command, int id) {
  auto owned = std::make_unique<AcceleratorCommand>(AcceleratorCommand{command, id});
  return g_cclosure_new(G_CALLBACK(OnAccelerator), owned.release(), [](gpointer data, GClosure*) {
    std::unique_ptr<AcceleratorCommand> release(static_cast<AcceleratorCommand*>(data));
  });
}

}  // namespace

ToolkitMenu MakeToolkitMenu(const BuiltMenu& menu, const std::function<void(int)>& command) {
  ToolkitMenu result;
  result.bar = std::make_unique<Gtk::MenuBar>();
  FillMenu(*result.bar, menu.bar, command);
  result.bar->show_all();
  result.accelerators = Gtk::AccelGroup::create();
  for (const Accelerator& accelerator : menu.accelerators) {
    const guint keyval = KeyvalForShortcutKey(accelerator.key);
    if (keyval == 0) continue;
    gtk_accel_group_connect(result.accelerators->gobj(), keyval,
                            static_cast<GdkModifierType>(ModifiersForShortcut(accelerator.modifiers)),
                            GTK_ACCEL_LOCKED, MakeAcceleratorClosure(command, accelerator.command_id));
  }
  return result;
}

}  // namespace ostrivel
