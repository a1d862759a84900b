// Ostrivel: an editor on the left, a browser engine on the right; F7 shows the source.
#include <glibmm/main.h>
#include <gtkmm/main.h>

#include "app/main_window.h"
#include "app/shell.h"
#include "codepage/codepage.h"

int main() {
  using namespace ostrivel;
  ChangeToProgramDirectory();
  // The program reads no command line.
  Gtk::Main toolkit;
  std::unique_ptr<MainWindow> window;
  try {
    window = MainWindow::Build();
  } catch (const BuildError& error) {
    // The reasons are UTF-8 texts of the program; the box takes code page 936 text.
    FatalError(codepage::Utf8ToCp936(std::string("加载启动窗口失败：") + error.what()));
  }
  SetShellResourceRelease([&window] { window.reset(); });

  // Closing the window ends the program: once no window of it exists, the loop quits.
  auto loop = Glib::MainLoop::create();
  window->signal_hide().connect([&loop] { loop->quit(); });
  loop->run();
  window.reset();
  return 0;
}
