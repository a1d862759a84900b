// The program's own part of a preview, in process: reading the editor's whole text as code
// page 936 bytes and writing it to a fresh temporary file (what F7 does before the engine is
// sent there). The editor holds the given page, loaded as the program loads a document, in a
// window of the editor pane's size.
//
//   ostrivel_bench_preview_own_part PAGE_FILE
//
// Every line read from stdin asks for one measurement; the answer is one line with the
// milliseconds. The driver interleaves these with the engine loading the same page, so both
// figures come from the same moments of a shared machine.
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>

#include "bench/bench_support.h"
#include "editor/editor_pane.h"
#include "preview/preview.h"

int main(int argc, char** argv) {
  using namespace ostrivel;
  using namespace ostrivel::bench;
  Gtk::Main toolkit(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: ostrivel_bench_preview_own_part PAGE_FILE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::string page{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};

  EditorPane pane(EditorSettings::MainEditor());
  PaneWindow window(pane.widget());
  pane.ReplaceWithPlainText(page);
  Flush();  // every line laid out, as in a program that has been idle since the document opened

  std::string line;
  while (std::getline(std::cin, line)) {
    std::string written;
    const double ms = MillisecondsOf([&] {
      PreviewHtml(pane.Content(), [&written](const std::string& path) { written = path; });
    });
    // Only the measurement leaves something behind; the file is not part of it.
    if (!written.empty()) unlink(written.c_str());
    std::cout << ms << std::endl;
  }
  return 0;
}
