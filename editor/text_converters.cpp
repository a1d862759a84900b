#include "editor/text_converters.h"

#include <glib.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <sstream>
#include <string_view>

#include "codepage/codepage.h"

namespace ostrivel {
namespace {

constexpr std::string_view kKeyFileName = "/ostrivel/text-converters.conf";
constexpr std::string_view kImportPrefix = "Import/";
constexpr std::string_view kExportPrefix = "Export/";
constexpr const char* kSharedToolsGroup = "Shared Tools Location";
constexpr const char* kSharedFolderKey = "TEXTCONV";

struct KnownConverterFile {
  ConverterDirection direction;
  const char* file;
  const char* name_utf8;
  const char* extensions;
};

// The well-known converter files looked for even when no key file names them; imports first.
constexpr std::array<KnownConverterFile, 10> kDefaultConverterTable{{
    {ConverterDirection::Import, "html32.cnv", "HTML 文档", "html htm htx asp"},
    {ConverterDirection::Import, "mswrd632.cnv", "Word 6.0/95 for Windows & Macintosh", "doc"},
    {ConverterDirection::Import, "mswrd832.cnv", "Word 97", "doc"},
    {ConverterDirection::Import, "wword5.cnv", "Word for Windows 5.0", "doc"},
    {ConverterDirection::Import, "mswrd632.wpc", "Word for Windows 6.0", "doc"},
    {ConverterDirection::Import, "write32.wpc", "Windows Write", "wri"},
    {ConverterDirection::Import, "EXCEL32.CNV", "Microsoft Excel 工作表格", "xls xlw"},
    {ConverterDirection::Import, "WPFT632.CNV", "WordPerfect 6.x", "doc wpd"},
    {ConverterDirection::Import, "WPFT532.CNV", "WordPerfect 5.x", "doc"},
    {ConverterDirection::Export, "html32.cnv", "HTML 文档", "html htm htx"},
}};

struct KeyFileFree {
  void operator()(GKeyFile* key_file) const { g_key_file_free(key_file); }
};
using KeyFilePtr = std::unique_ptr<GKeyFile, KeyFileFree>;

struct GFree {
  void operator()(void* memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

struct StrvFree {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};
using StrvPtr = std::unique_ptr<gchar*, StrvFree>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Byte strings equal but for the case of ASCII letters. Safe for UTF-8 file names, whose
// multi-byte sequences never contain ASCII bytes.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return AsciiLower(x) == AsciiLower(y); });
}

bool IsCp936LeadByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x81 && byte <= 0xFE;
}

// Code page 936 texts equal but for the case of ASCII letters. The second byte of a
// two-byte character may fall in the ASCII letter range, so it is compared exactly.
bool Cp936EqualIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsCp936LeadByte(a[i]) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
      return false;
    }
  }
  return true;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0;
}

std::string_view LastPathComponent(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// Words separated by white space, joined by single spaces, ASCII letters lower-cased.
std::string NormaliseExtensions(std::string_view extensions) {
  std::string normalised;
  std::size_t pos = 0;
  while (pos < extensions.size()) {
    const auto start = extensions.find_first_not_of(" \t", pos);
    if (start == std::string_view::npos) break;
    const auto end = std::min(extensions.find_first_of(" \t", start), extensions.size());
    if (!normalised.empty()) normalised += ' ';
    for (char c : extensions.substr(start, end - start)) normalised += AsciiLower(c);
    pos = end;
  }
  return normalised;
}

KeyFilePtr LoadKeyFile(const std::string& config_dir) {
  if (config_dir.empty()) return nullptr;
  KeyFilePtr key_file(g_key_file_new());
  const std::string path = config_dir + std::string(kKeyFileName);
  if (!g_key_file_load_from_file(key_file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr)) {
    return nullptr;
  }
  return key_file;
}

std::optional<std::string> ReadString(GKeyFile* key_file, const char* group, const char* key) {
  GCharPtr value(g_key_file_get_string(key_file, group, key, nullptr));
  if (!value) return std::nullopt;
  return std::string(value.get());
}

// Paths are file system bytes, which need not be UTF-8; such a value is taken as written.
std::optional<std::string> ReadPath(GKeyFile* key_file, const char* group, const char* key) {
  GError* raw_error = nullptr;
  GCharPtr value(g_key_file_get_string(key_file, group, key, &raw_error));
  const ErrorPtr error(raw_error);
  if (value) return std::string(value.get());
  if (error && g_error_matches(error.get(), G_KEY_FILE_ERROR, G_KEY_FILE_ERROR_UNKNOWN_ENCODING)) {
    GCharPtr raw(g_key_file_get_value(key_file, group, key, nullptr));
    if (raw) return std::string(raw.get());
  }
  return std::nullopt;
}

class ConverterList {
 public:
  std::vector<TextConverter> Take() { return std::move(entries_); }

  // A registered converter: added when its file exists, it names at least one extension and
  // the same one (direction, name, path) is not listed yet.
  void AddRegistered(TextConverter converter) {
    if (converter.extensions.empty() || !PathExists(converter.path)) return;
    const bool listed = std::ranges::any_of(entries_, [&](const TextConverter& known) {
      return known.direction == converter.direction &&
             Cp936EqualIgnoringCase(known.name, converter.name) &&
             EqualIgnoringAsciiCase(known.path, converter.path);
    });
    if (!listed) entries_.push_back(std::move(converter));
  }

  // A well-known file in `folder` (ending in "/"): added when it exists and no converter of
  // the same direction is listed whose file has that name.
  void AddKnownFile(const std::string& folder, const KnownConverterFile& known) {
    const bool listed = std::ranges::any_of(entries_, [&](const TextConverter& entry) {
      return entry.direction == known.direction &&
             EqualIgnoringAsciiCase(LastPathComponent(entry.path), known.file);
    });
    const std::string path = folder + known.file;
    if (listed || !PathExists(path)) return;
    entries_.push_back({codepage::Utf8ToCp936(known.name_utf8), known.extensions, path,
                        known.direction});
  }

 private:
  std::vector<TextConverter> entries_;
};

void ScanGroup(GKeyFile* key_file, const char* group, ConverterDirection direction,
               ConverterList& list) {
  const auto name = ReadString(key_file, group, "Name");
  const auto extensions = ReadString(key_file, group, "Extensions");
  const auto path = ReadPath(key_file, group, "Path");
  if (!name || !extensions || !path) return;
  list.AddRegistered({codepage::Utf8ToCp936(*name), NormaliseExtensions(*extensions), *path,
                      direction});
}

// The groups of one key file: all Import/ groups in file order, then all Export/ groups.
void ScanKeyFile(GKeyFile* key_file, ConverterList& list) {
  const StrvPtr groups(g_key_file_get_groups(key_file, nullptr));
  for (const auto& [prefix, direction] :
       {std::pair{kImportPrefix, ConverterDirection::Import},
        std::pair{kExportPrefix, ConverterDirection::Export}}) {
    for (gchar** group = groups.get(); group && *group; ++group) {
      if (std::string_view(*group).starts_with(prefix)) {
        ScanGroup(key_file, *group, direction, list);
      }
    }
  }
}

std::optional<std::string> SharedFolderFrom(GKeyFile* key_file) {
  return ReadPath(key_file, kSharedToolsGroup, kSharedFolderKey);
}

void AddKnownFilesIn(std::string folder, ConverterList& list) {
  if (folder.empty()) return;
  if (!folder.ends_with('/')) folder += '/';
  for (const auto& known : kDefaultConverterTable) list.AddKnownFile(folder, known);
}

std::string EnvironmentOr(const char* name, std::string fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : std::move(fallback);
}

}  // namespace

ConverterSearchPlaces ConverterSearchPlaces::FromEnvironment(const std::string& program_dir) {
  ConverterSearchPlaces places;
  // Relative entries are not valid configuration folders and are ignored.
  std::istringstream dirs(EnvironmentOr("XDG_CONFIG_DIRS", "/etc/xdg"));
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.starts_with('/')) places.machine_config_dirs.push_back(dir);
  }
  const char* home = std::getenv("HOME");
  const std::string home_dir = home && *home ? home : g_get_home_dir();
  places.user_config_dir = EnvironmentOr("XDG_CONFIG_HOME", home_dir + "/.config");
  if (!places.user_config_dir.starts_with('/')) places.user_config_dir = home_dir + "/.config";
  places.program_dir = program_dir;
  places.default_shared_dir = OSTRIVEL_SHARED_CONVERTER_DIR;
  return places;
}

std::vector<TextConverter> FindTextConverters(const ConverterSearchPlaces& places) {
  ConverterList list;
  std::optional<std::string> shared_folder;
  for (const auto& dir : places.machine_config_dirs) {
    const KeyFilePtr key_file = LoadKeyFile(dir);
    if (!key_file) continue;
    ScanKeyFile(key_file.get(), list);
    if (!shared_folder) shared_folder = SharedFolderFrom(key_file.get());
  }
  if (const KeyFilePtr key_file = LoadKeyFile(places.user_config_dir)) {
    ScanKeyFile(key_file.get(), list);
  }
  AddKnownFilesIn(places.program_dir, list);
  AddKnownFilesIn(shared_folder.value_or(places.default_shared_dir), list);
  return list.Take();
}

}  // namespace ostrivel
