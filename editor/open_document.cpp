#include "editor/open_document.h"

#include <gdkmm/cursor.h>
#include <gtkmm/window.h>

#include "codepage/codepage.h"
#include "editor/editor_pane.h"
#include "editor/file_filters.h"
#include "editor/load_document.h"

namespace ostrivel {
namespace {

// Shows the wait cursor over a window while it lives.
class WaitCursor {
 public:
  explicit WaitCursor(Gtk::Window* window) {
    if (!window || !window->get_window()) return;
    gdk_window_ = window->get_window();
    gdk_window_->set_cursor(Gdk::Cursor::create(window->get_display(), "wait"));
    window->get_display()->flush();
  }
  ~WaitCursor() {
    if (gdk_window_) gdk_window_->set_cursor();
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  Glib::RefPtr<Gdk::Window> gdk_window_;
};

}  // namespace

FileDialogRequest OpenDialogRequest(const std::vector<TextConverter>& converters) {
  FileDialogRequest request;
  request.kind = DialogKind::Open;
  request.title = codepage::Utf8ToCp936("请输入欲打开文档的文件名:");
  request.filters = BuildOpenFilters(converters).filters;
  request.selected_filter = 0;  // RTF
  request.default_extension = "rtf";
  request.file_must_exist = true;
  request.path_must_exist = true;
  return request;
}

std::optional<std::string> OpenDocument(EditorPane& editor, Gtk::Window* parent, const FileDialogRunner& runner,
                                        const ConverterSearchPlaces& places) {
  const std::vector<TextConverter> converters = FindTextConverters(places);
  const OpenFilterList filters = BuildOpenFilters(converters);
  const std::optional<FileDialogAnswer> answer = runner(OpenDialogRequest(converters), parent);
  if (!answer) return std::nullopt;

  int converter_index = -1;
  if (answer->filter_index >= 0 && answer->filter_index < static_cast<int>(filters.converter_index.size()))
    converter_index = filters.converter_index[answer->filter_index];

  std::string buffer;
  LoadResult result;
  {
    WaitCursor wait(parent);
    result = LoadDocument(buffer, answer->path, converter_index, converters);
  }
  switch (result) {
    case LoadResult::Rtf:
      editor.ReplaceWithRtf(buffer);
      return answer->path;
    case LoadResult::PlainText:
      editor.ReplaceWithPlainText(buffer);
      return answer->path;
    case LoadResult::Nothing:
      break;
  }
  return std::nullopt;
}

}  // namespace ostrivel
