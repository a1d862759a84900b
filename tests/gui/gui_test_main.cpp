// GUI tests set the toolkit up before the test framework. They need an X display: the test
// script starts Xvfb; run by hand without one, the tests re-run themselves under xvfb-run.
#include <gtest/gtest.h>
#include <gtkmm/main.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (!std::getenv("DISPLAY") && !std::getenv("OSTRIVEL_UNDER_XVFB")) {
    setenv("OSTRIVEL_UNDER_XVFB", "1", 1);
    std::vector<char*> args = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                               const_cast<char*>("-s"), const_cast<char*>("-screen 0 1024x768x24")};
    for (int i = 0; i < argc; ++i) args.push_back(argv[i]);
    args.push_back(nullptr);
    execvp("xvfb-run", args.data());
    return 127;
  }
  // Keep the tests' previews out of the shared temporary directory.
  char tmp_template[] = "/tmp/ostrivel-gui-XXXXXX";
  if (const char* dir = mkdtemp(tmp_template)) setenv("TMPDIR", dir, 1);
  Gtk::Main toolkit;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
