// Opening a document into the editor.
#pragma once

#include <optional>
#include <string>

#include "editor/common_dialog.h"
#include "editor/text_converters.h"

namespace ostrivel {

class EditorPane;

// The open dialog's request for the converters found.
FileDialogRequest OpenDialogRequest(const std::vector<TextConverter>& converters);

// Asks for a document and replaces the editor's whole content with it (RTF, plain text or
// through a converter). Gives the chosen path, or nullopt when the user cancelled or nothing
// could be loaded; the editor is unchanged then.
std::optional<std::string> OpenDocument(EditorPane& editor, Gtk::Window* parent, const FileDialogRunner& runner,
                                        const ConverterSearchPlaces& places);

}  // namespace ostrivel
