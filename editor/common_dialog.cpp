#include "editor/common_dialog.h"

#include <glibmm/convert.h>
#include <gtkmm/filechooserdialog.h>
#include <gtkmm/messagedialog.h>
#include <sys/stat.h>

#include <algorithm>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

std::string Gbk(std::string_view utf8) { return codepage::Utf8ToCp936(utf8); }
Glib::ustring Utf8(std::string_view gbk) { return codepage::Cp936ToUtf8(gbk); }

// File names match their patterns whatever the case of the letters, as users of the dialog
// expect ("PAGE.HTM" is an HTML page): "*.htm" becomes "*.[hH][tT][mM]".
std::string CaseInsensitivePattern(const std::string& pattern) {
  std::string result;
  for (char c : pattern) {
    if (g_ascii_isalpha(c)) {
      result += '[';
      result += g_ascii_tolower(c);
      result += g_ascii_toupper(c);
      result += ']';
    } else {
      result += c;
    }
  }
  return result;
}

bool EntryExists(const std::string& path) {
  struct stat status;
  return !path.empty() && lstat(path.c_str(), &status) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

std::string Folder(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

Glib::ustring DisplayPath(const std::string& path) {
  return Glib::filename_display_name(path);
}

void Warn(Gtk::Window& owner, const Glib::ustring& text) {
  Gtk::MessageDialog box(owner, text, false, Gtk::MESSAGE_WARNING, Gtk::BUTTONS_OK, true);
  box.run();
}

bool AskOverwrite(Gtk::Window& owner, const std::string& path) {
  Gtk::MessageDialog box(owner, "“" + DisplayPath(BaseName(path)) + "”已经存在。\n要替换它吗？", false,
                         Gtk::MESSAGE_QUESTION, Gtk::BUTTONS_NONE, true);
  box.set_title("确认另存为");
  box.add_button("取消(_C)", Gtk::RESPONSE_CANCEL);
  box.add_button("替换(_R)", Gtk::RESPONSE_ACCEPT);
  box.set_default_response(Gtk::RESPONSE_CANCEL);  // Return alone never replaces a file
  return box.run() == Gtk::RESPONSE_ACCEPT;
}

}  // namespace

CommonDialog CommonDialog::SaveSourceDialog() {
  CommonDialog dialog;
  dialog.kind = DialogKind::Save;
  dialog.title = Gbk("保存源代码：");
  dialog.filter = Gbk("HTML 文档(*.htm;*.html;*.htx)|*.htm;*.html;*.htx");
  dialog.filter_index = 0;
  dialog.default_extension = "htm";
  return dialog;
}

FileDialogRequest CommonDialog::MakeRequest() const {
  FileDialogRequest request;
  request.kind = kind;
  request.title = title;
  request.filters = ParseFilterString(filter);
  if (!request.filters.empty())
    request.selected_filter = std::clamp(filter_index, 0, static_cast<int>(request.filters.size()) - 1);
  request.initial_folder = initial_directory;
  request.initial_name = file_name.substr(0, std::min<std::size_t>(file_name.size(), 259));
  request.default_extension = default_extension;
  // A save dialog that only took existing files could never make a new one.
  request.file_must_exist = file_must_exist && kind == DialogKind::Open;
  request.path_must_exist = path_must_exist;
  request.overwrite_prompt = overwrite_prompt && kind == DialogKind::Save;
  request.create_prompt = create_prompt;
  return request;
}

bool CommonDialog::Show(Gtk::Window* parent, const FileDialogRunner& runner) {
  const std::optional<FileDialogAnswer> answer = runner(MakeRequest(), parent);
  if (!answer) return false;
  file_name = answer->path;
  return true;
}

std::optional<FileDialogAnswer> RunToolkitFileDialog(const FileDialogRequest& request, Gtk::Window* parent) {
  const bool saving = request.kind == DialogKind::Save;
  Gtk::FileChooserDialog dialog(Utf8(request.title), saving ? Gtk::FILE_CHOOSER_ACTION_SAVE : Gtk::FILE_CHOOSER_ACTION_OPEN);
  if (parent) dialog.set_transient_for(*parent);
  dialog.set_position(Gtk::WIN_POS_CENTER_ON_PARENT);
  dialog.set_modal(true);
  // The chooser would size itself from remembered settings, or larger than a small screen.
  dialog.signal_map().connect([&dialog] { dialog.resize(760, 520); }, /*after=*/true);
  dialog.set_local_only(true);
  dialog.set_do_overwrite_confirmation(false);  // asked below, about the completed name
  dialog.add_button("取消(_C)", Gtk::RESPONSE_CANCEL);
  dialog.add_button(saving ? "保存(_S)" : "打开(_O)", Gtk::RESPONSE_ACCEPT);
  dialog.set_default_response(Gtk::RESPONSE_ACCEPT);

  std::vector<Glib::RefPtr<Gtk::FileFilter>> filters;
  for (const FileFilter& filter : request.filters) {
    auto toolkit_filter = Gtk::FileFilter::create();
    toolkit_filter->set_name(Utf8(filter.label));
    for (const std::string& pattern : SplitPatterns(filter.patterns))
      toolkit_filter->add_pattern(CaseInsensitivePattern(pattern));
    dialog.add_filter(toolkit_filter);
    filters.push_back(toolkit_filter);
  }
  if (request.selected_filter >= 0 && request.selected_filter < static_cast<int>(filters.size()))
    dialog.set_filter(filters[request.selected_filter]);
  if (!request.initial_folder.empty()) dialog.set_current_folder(request.initial_folder);
  if (!request.initial_name.empty()) {
    if (request.initial_name.find('/') != std::string::npos && IsDirectory(Folder(request.initial_name)))
      dialog.set_current_folder(Folder(request.initial_name));
    if (saving) dialog.set_current_name(Glib::filename_to_utf8(BaseName(request.initial_name)));
  }

  for (;;) {
    if (dialog.run() != Gtk::RESPONSE_ACCEPT) return std::nullopt;
    std::string path = dialog.get_filename();
    if (path.empty()) continue;
    path = AddDefaultExtension(path, request.default_extension);
    if (request.path_must_exist && !IsDirectory(Folder(path))) {
      Warn(dialog, "文件夹“" + DisplayPath(Folder(path)) + "”不存在。\n请检查路径是否正确。");
      continue;
    }
    if (request.file_must_exist && !EntryExists(path)) {
      Warn(dialog, "“" + DisplayPath(path) + "”\n找不到文件。\n请检查文件名是否正确。");
      continue;
    }
    if (request.overwrite_prompt && EntryExists(path) && !AskOverwrite(dialog, path)) continue;

    FileDialogAnswer answer;
    answer.path = path;
    const auto active = dialog.get_filter();
    for (std::size_t i = 0; i < filters.size(); ++i)
      if (filters[i] == active) answer.filter_index = static_cast<int>(i);
    return answer;
  }
}

}  // namespace ostrivel
