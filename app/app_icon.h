// The program's icon, DEFAULT_ICON: 16, 32 and 48 pixel images built into the program.
#pragma once

#include <gdkmm/pixbuf.h>

#include <vector>

namespace ostrivel {

// The three images, smallest first. Throws Glib::Error if an image cannot be read.
std::vector<Glib::RefPtr<Gdk::Pixbuf>> DefaultIcon();

}  // namespace ostrivel
