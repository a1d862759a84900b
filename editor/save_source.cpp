#include "editor/save_source.h"

#include <glibmm/convert.h>
#include <gtkmm/messagedialog.h>

#include "editor/editor_pane.h"
#include "preview/file_services.h"

namespace ostrivel {

void ShowSaveError(Gtk::Window* parent, const std::string& path, const std::string& reason) {
  const Glib::ustring text = "无法保存文件“" + Glib::filename_display_name(path) + "”。";
  std::unique_ptr<Gtk::MessageDialog> box =
      parent ? std::make_unique<Gtk::MessageDialog>(*parent, text, false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK, true)
             : std::make_unique<Gtk::MessageDialog>(text, false, Gtk::MESSAGE_ERROR, Gtk::BUTTONS_OK, true);
  box->set_title("保存失败");
  box->set_secondary_text(Glib::locale_to_utf8(reason) + "\n原来的文件没有改变。");
  box->run();
}

SaveResult SaveSource(EditorPane& editor, CommonDialog& dialog, Gtk::Window* parent, const FileDialogRunner& runner,
                      const SaveErrorReporter& report_error) {
  if (!dialog.Show(parent, runner)) return {};
  const std::string bytes = TextToBytes(editor.Content());
  const std::string name = dialog.file_name;
  SaveResult result = ReplaceFileContents(name, bytes);
  // A failed save is always told: the user must not quit believing the work was saved.
  if (!result.ok) report_error(parent, name, result.reason);
  return result;
}

}  // namespace ostrivel
