// Saving the editor's text to a file the user picks.
#pragma once

#include <functional>
#include <string>

#include "editor/common_dialog.h"
#include "preview/file_services.h"

namespace ostrivel {

class EditorPane;

using SaveErrorReporter = std::function<void(Gtk::Window* parent, const std::string& path, const std::string& reason)>;

// An error box over `parent` that names the file and the reason.
void ShowSaveError(Gtk::Window* parent, const std::string& path, const std::string& reason);

// Shows the save dialog and writes the editor's exact bytes to the chosen file. The file is
// replaced whole or not at all; when it cannot be written the error is reported (an error box
// by default) and the old file stays as it was. Cancel writes nothing (the result is not ok
// and has no reason).
SaveResult SaveSource(EditorPane& editor, CommonDialog& dialog, Gtk::Window* parent, const FileDialogRunner& runner,
                      const SaveErrorReporter& report_error = ShowSaveError);

}  // namespace ostrivel
