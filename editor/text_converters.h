// The installed text converters: where they are registered and which ones exist.
//
// Registrations are key files named ostrivel/text-converters.conf in the XDG configuration
// folders, machine-wide ones ($XDG_CONFIG_DIRS, default /etc/xdg) first, then the user's
// ($XDG_CONFIG_HOME, default ~/.config). Each converter is one group:
//
//   [Import/html]              (or Export/<id>)
//   Name=HTML 文档              (UTF-8)
//   Extensions=html htm
//   Path=/usr/lib/x86_64-linux-gnu/ostrivel/converters/html32.cnv
//
// A machine-wide file may also name the shared converter folder:
//
//   [Shared Tools Location]
//   TEXTCONV=/opt/converters
//
// Then the well-known converter files are looked for in the program's folder and in the
// shared converter folder.
#pragma once

#include <string>
#include <vector>

namespace ostrivel {

enum class ConverterDirection { Import = 0, Export = 1 };

struct TextConverter {
  std::string name;        // shown in the open dialog, code page 936 bytes
  std::string extensions;  // lower-case, without dots, single spaces between, never empty
  std::string path;        // file system bytes
  ConverterDirection direction = ConverterDirection::Import;
  bool operator==(const TextConverter&) const = default;
};

// Where FindTextConverters looks; tests point it at folders of their own.
struct ConverterSearchPlaces {
  std::vector<std::string> machine_config_dirs;  // in order of precedence
  std::string user_config_dir;
  std::string program_dir;                        // the folder of the program file
  std::string default_shared_dir;                 // used when no key file names one
  static ConverterSearchPlaces FromEnvironment(const std::string& program_dir);
};

// The converters in order of discovery, normalised and without duplicates.
std::vector<TextConverter> FindTextConverters(const ConverterSearchPlaces& places);

}  // namespace ostrivel
