// The dialog control "通用对话框1": shows nothing on the window; it presents the modal save
// (or open) file dialog and remembers the last file name confirmed in it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor/file_filters.h"

namespace Gtk {
class Window;
}

namespace ostrivel {

enum class DialogKind { Open = 0, Save = 1 };

// What a file dialog is asked to show. Texts are code page 936; paths are file-system bytes.
struct FileDialogRequest {
  DialogKind kind = DialogKind::Save;
  std::string title;
  std::vector<FileFilter> filters;
  int selected_filter = -1;        // index into filters, -1 for none
  std::string initial_folder;      // empty: the toolkit chooses
  std::string initial_name;        // full path or name put into the name box
  std::string default_extension;   // without the dot; added to a typed name that has none
  bool file_must_exist = false;
  bool path_must_exist = true;
  bool overwrite_prompt = false;
  bool create_prompt = false;
};

struct FileDialogAnswer {
  std::string path;          // the full path, the default extension added where needed
  int filter_index = -1;     // the filter active when the user confirmed
};

// Runs a request modally over `parent`; nullopt when the user cancelled. The program uses the
// toolkit's dialog; tests answer in its place.
using FileDialogRunner =
    std::function<std::optional<FileDialogAnswer>(const FileDialogRequest& request, Gtk::Window* parent)>;

// The toolkit's file chooser with the rules above: the default extension, the overwrite
// question for the completed name, only existing folders (and files where asked).
std::optional<FileDialogAnswer> RunToolkitFileDialog(const FileDialogRequest& request, Gtk::Window* parent);

class CommonDialog {
 public:
  DialogKind kind = DialogKind::Open;
  std::string title;
  std::string file_name;         // at most 259 bytes are put into the name box
  std::string filter;            // "label|patterns|…"
  int filter_index = 0;          // zero-based pair selected when the dialog opens
  std::string initial_directory;
  std::string default_extension;
  bool create_prompt = false;
  bool file_must_exist = true;
  bool overwrite_prompt = true;
  bool path_must_exist = true;
  bool no_change_directory = false;

  // "通用对话框1" as the main window stores it.
  static CommonDialog SaveSourceDialog();

  // Shows the dialog; true when the user confirmed a name, which is then in file_name.
  bool Show(Gtk::Window* parent, const FileDialogRunner& runner = RunToolkitFileDialog);

  // The request Show makes, for tests.
  FileDialogRequest MakeRequest() const;
};

}  // namespace ostrivel
