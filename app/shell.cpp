#include "app/shell.h"

#include <gtkmm.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {
int event_hold = 0;
std::function<void()>& ResourceRelease() {
  static std::function<void()> release;
  return release;
}
}  // namespace

bool EventsHeld() { return event_hold > 0; }
void RaiseEventHold() { ++event_hold; }
void LowerEventHold() { --event_hold; }

std::string ProgramDirectory() {
  std::string path(4096, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      break;
    }
    path.resize(path.size() * 2);
  }
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash == 0 ? 1 : slash);
}

void ChangeToProgramDirectory() {
  const std::string directory = ProgramDirectory();
  if (!directory.empty() && chdir(directory.c_str()) != 0) std::perror("chdir");
}

void SetShellResourceRelease(std::function<void()> release) { ResourceRelease() = std::move(release); }

void EndProgram(int exit_code) {
  RaiseEventHold();  // never lowered again: no handler runs from here on
  if (auto release = std::exchange(ResourceRelease(), {})) release();
  std::fflush(nullptr);
  _exit(exit_code & 0xFF);
}

void FatalError(std::string_view message) {
  RaiseEventHold();
  if (gtk_init_check(nullptr, nullptr)) {
    const std::string text = codepage::Cp936ToUtf8(message);
    Gtk::MessageDialog box("运行时发生错误", /*use_markup=*/false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK,
                           /*modal=*/true);
    box.set_title("Ostrivel");
    box.set_secondary_text(text);
    box.run();
  } else {
    std::fprintf(stderr, "Ostrivel: %s\n", codepage::Cp936ToUtf8(message).c_str());
  }
  EndProgram(-1);
}

}  // namespace ostrivel
