#include "app/app_icon.h"

#include <giomm/memoryinputstream.h>

#include <cstddef>

namespace ostrivel {
namespace embedded {
extern const unsigned char kFile0[], kFile1[], kFile2[];
extern const std::size_t kFile0Size, kFile1Size, kFile2Size;
}  // namespace embedded

namespace {
Glib::RefPtr<Gdk::Pixbuf> PixbufFromBytes(const unsigned char* data, std::size_t size) {
  auto stream = Gio::MemoryInputStream::create();
  stream->add_data(data, static_cast<gssize>(size), nullptr);  // static data, never freed
  return Gdk::Pixbuf::create_from_stream(stream);
}
}  // namespace

std::vector<Glib::RefPtr<Gdk::Pixbuf>> DefaultIcon() {
  using namespace embedded;
  return {PixbufFromBytes(kFile0, kFile0Size), PixbufFromBytes(kFile1, kFile1Size),
          PixbufFromBytes(kFile2, kFile2Size)};
}

}  // namespace ostrivel
