#include "editor/text_converters.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace ostrivel {

// Byte-exact output for failures: names are code page 936 bytes.
static void PrintTo(const TextConverter& converter, std::ostream* out) {
  *out << "{" << ::testing::PrintToString(converter.name) << ", "
       << ::testing::PrintToString(converter.extensions) << ", "
       << ::testing::PrintToString(converter.path) << ", "
       << (converter.direction == ConverterDirection::Import ? "import" : "export") << "}";
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ostrivel::testing::ScratchDir;

constexpr ConverterDirection kImport = ConverterDirection::Import;
constexpr ConverterDirection kExport = ConverterDirection::Export;

// Code page 936 bytes of the names the program shows.
const std::string kHtmlDocumentGbk = "HTML \xce\xc4\xb5\xb5";  // HTML 文档
// Microsoft Excel 工作表格
const std::string kExcelSheetGbk = "Microsoft Excel \xb9\xa4\xd7\xf7\xb1\xed\xb8\xf1";

class TextConvertersTest : public ::testing::Test {
 protected:
  TextConvertersTest() {
    places_.machine_config_dirs = {scratch_.Folder("machine1"), scratch_.Folder("machine2")};
    places_.user_config_dir = scratch_.Folder("user");
    places_.program_dir = scratch_.Folder("program");
    places_.default_shared_dir = scratch_.Folder("default-shared");
  }

  void WriteKeyFile(const std::string& config_dir, const std::string& text) {
    scratch_.WriteFile(config_dir.substr(scratch_.path().size() + 1) +
                           "/ostrivel/text-converters.conf",
                       text);
  }

  // An existing converter file (its content does not matter for discovery).
  std::string Converter(const std::string& relative) { return scratch_.WriteFile(relative, "x"); }

  static std::string Group(const std::string& group, const std::string& name,
                           const std::string& extensions, const std::string& path) {
    return "[" + group + "]\nName=" + name + "\nExtensions=" + extensions + "\nPath=" + path +
           "\n";
  }

  ScratchDir scratch_;
  ConverterSearchPlaces places_;
};

TEST_F(TextConvertersTest, NothingRegisteredOrInstalledGivesAnEmptyList) {
  EXPECT_THAT(FindTextConverters(places_), IsEmpty());
}

TEST_F(TextConvertersTest, ListsMachineFilesInOrderThenTheUserFileImportsBeforeExports) {
  const std::string a = Converter("c/a.cnv"), b = Converter("c/b.cnv"), c = Converter("c/c.cnv"),
                    d = Converter("c/d.cnv"), e = Converter("c/e.cnv"), f = Converter("c/f.cnv");
  WriteKeyFile(places_.machine_config_dirs[0],
               Group("Export/a", "A", "aa", a) + Group("Import/b", "HTML 文档", "bb", b) +
                   Group("Import/c", "C", "cc", c));
  WriteKeyFile(places_.machine_config_dirs[1], Group("Import/d", "D", "dd", d));
  WriteKeyFile(places_.user_config_dir, Group("Export/f", "F", "ff", f) +
                                            Group("Import/e", "E", "ee", e));

  EXPECT_THAT(FindTextConverters(places_),
              ElementsAre(TextConverter{kHtmlDocumentGbk, "bb", b, kImport},
                          TextConverter{"C", "cc", c, kImport},
                          TextConverter{"A", "aa", a, kExport},
                          TextConverter{"D", "dd", d, kImport},
                          TextConverter{"E", "ee", e, kImport},
                          TextConverter{"F", "ff", f, kExport}));
}

TEST_F(TextConvertersTest, NormalisesExtensionListsAndDropsEmptyOnes) {
  const struct {
    std::string written;
    std::optional<std::string> listed;  // nullopt: the converter is left out
  } cases[] = {
      {"html", "html"},
      {"   HTML  Htm\tASP  ", "html htm asp"},
      {"Doc WPD", "doc wpd"},
      {"    ", std::nullopt},
      {"", std::nullopt},
  };
  std::string key_file;
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string id = std::to_string(i);
    key_file += Group("Import/" + id, "N" + id, cases[i].written, Converter("c/" + id + ".cnv"));
    if (cases[i].listed) expected.push_back(*cases[i].listed);
  }
  WriteKeyFile(places_.machine_config_dirs[0], key_file);

  std::vector<std::string> listed;
  for (const auto& converter : FindTextConverters(places_)) listed.push_back(converter.extensions);
  EXPECT_EQ(listed, expected);
}

TEST_F(TextConvertersTest, LeavesOutIncompleteRegistrationsAndMissingFiles) {
  const std::string present = Converter("c/present.cnv");
  WriteKeyFile(places_.machine_config_dirs[0],
               "[Import/no-name]\nExtensions=a\nPath=" + present + "\n" +
                   "[Import/no-extensions]\nName=B\nPath=" + present + "\n" +
                   "[Import/no-path]\nName=C\nExtensions=c\n" +
                   Group("Import/missing-file", "D", "d", scratch_.path() + "/c/absent.cnv") +
                   Group("Importer/wrong-prefix", "E", "e", present) +
                   Group("html", "F", "f", present) +
                   Group("Import/good", "G", "g", present));

  EXPECT_THAT(FindTextConverters(places_),
              ElementsAre(TextConverter{"G", "g", present, kImport}));
}

TEST_F(TextConvertersTest, ListsTheSameRegistrationOnceIgnoringCase) {
  const std::string lower = Converter("c/conv.cnv");
  const std::string upper = Converter("c/CONV.CNV");
  const std::string other = Converter("c/other.cnv");
  WriteKeyFile(places_.machine_config_dirs[0], Group("Import/html", "HTML 文档", "htm", lower));
  WriteKeyFile(places_.user_config_dir,
               Group("Import/same", "html 文档", "html", upper) +  // same converter
                   Group("Import/other-path", "HTML 文档", "htm", other) +
                   Group("Import/other-name", "HTML", "htm", lower) +
                   Group("Export/same", "HTML 文档", "htm", lower));

  EXPECT_THAT(FindTextConverters(places_),
              ElementsAre(TextConverter{kHtmlDocumentGbk, "htm", lower, kImport},
                          TextConverter{kHtmlDocumentGbk, "htm", other, kImport},
                          TextConverter{"HTML", "htm", lower, kImport},
                          TextConverter{kHtmlDocumentGbk, "htm", lower, kExport}));
}

TEST_F(TextConvertersTest, FindsWellKnownFilesInProgramThenSharedFolderUnlessListed) {
  const std::string registered = Converter("elsewhere/MSWRD832.cnv");
  const std::string shared = scratch_.Folder("shared");
  WriteKeyFile(places_.machine_config_dirs[0],
               Group("Import/word", "Word", "doc", registered) +
                   "[Shared Tools Location]\nTEXTCONV=" + shared + "\n");
  places_.program_dir += "/";  // a folder given with its "/" keeps a single one
  for (const char* file : {"program/html32.cnv", "program/EXCEL32.CNV", "program/write32.wpc",
                           "shared/html32.cnv", "shared/mswrd832.cnv", "shared/WPFT532.CNV",
                           "shared/excel32.cnv"}) {
    Converter(file);
  }
  const std::string program = scratch_.path() + "/program/";

  EXPECT_THAT(
      FindTextConverters(places_),
      ElementsAre(
          TextConverter{"Word", "doc", registered, kImport},
          TextConverter{kHtmlDocumentGbk, "html htm htx asp", program + "html32.cnv", kImport},
          TextConverter{"Windows Write", "wri", program + "write32.wpc", kImport},
          TextConverter{kExcelSheetGbk, "xls xlw", program + "EXCEL32.CNV", kImport},
          TextConverter{kHtmlDocumentGbk, "html htm htx", program + "html32.cnv", kExport},
          TextConverter{"WordPerfect 5.x", "doc", shared + "/WPFT532.CNV", kImport}));
}

TEST_F(TextConvertersTest, TakesTheSharedFolderFromTheFirstMachineFileThatNamesIt) {
  // Each candidate folder holds a different well-known file, which tells which was searched.
  const std::string first = scratch_.Folder("first"), second = scratch_.Folder("second"),
                    user = scratch_.Folder("by-user");
  Converter("first/write32.wpc");
  Converter("second/wword5.cnv");
  Converter("by-user/WPFT632.CNV");
  Converter("default-shared/mswrd632.wpc");
  const auto names = [](const std::string& folder) {
    return "[Shared Tools Location]\nTEXTCONV=" + folder + "\n";
  };
  const struct {
    std::string machine1, machine2, user;
    std::string found;
  } cases[] = {
      {"", "", "", "mswrd632.wpc"},
      {"", names(second), "", "wword5.cnv"},
      {names(first), names(second), "", "write32.wpc"},
      {"", "", names(user), "mswrd632.wpc"},
  };
  for (const auto& c : cases) {
    WriteKeyFile(places_.machine_config_dirs[0], c.machine1);
    WriteKeyFile(places_.machine_config_dirs[1], c.machine2);
    WriteKeyFile(places_.user_config_dir, c.user);
    const auto converters = FindTextConverters(places_);
    ASSERT_EQ(converters.size(), 1u) << c.found;
    EXPECT_TRUE(converters[0].path.ends_with("/" + c.found)) << converters[0].path;
  }
}

TEST_F(TextConvertersTest, SkipsAnEmptyOrMissingDefaultFolder) {
  // An empty folder must not turn into the current folder, where a well-known file lies.
  Converter("html32.cnv");
  const auto old_cwd = std::filesystem::current_path();
  std::filesystem::current_path(scratch_.path());
  places_.program_dir.clear();
  places_.default_shared_dir = scratch_.path() + "/absent";
  const auto converters = FindTextConverters(places_);
  std::filesystem::current_path(old_cwd);
  EXPECT_THAT(converters, IsEmpty());
}

// Sets or clears an environment variable for one test and puts the old value back.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const char* value) : name_(name) {
    if (const char* old = ::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnvironment() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(ConverterSearchPlacesTest, ReadsXdgFoldersWithTheirDefaults) {
  const ScopedEnvironment home("HOME", "/home/tester");
  {
    const ScopedEnvironment dirs("XDG_CONFIG_DIRS", nullptr);
    const ScopedEnvironment user("XDG_CONFIG_HOME", nullptr);
    const auto places = ConverterSearchPlaces::FromEnvironment("/opt/ostrivel");
    EXPECT_THAT(places.machine_config_dirs, ElementsAre("/etc/xdg"));
    EXPECT_EQ(places.user_config_dir, "/home/tester/.config");
    EXPECT_EQ(places.program_dir, "/opt/ostrivel");
    EXPECT_FALSE(places.default_shared_dir.empty());
  }
  {
    const ScopedEnvironment dirs("XDG_CONFIG_DIRS", "/first:relative::/second");
    const ScopedEnvironment user("XDG_CONFIG_HOME", "/custom/config");
    const auto places = ConverterSearchPlaces::FromEnvironment("/opt/ostrivel");
    EXPECT_THAT(places.machine_config_dirs, ElementsAre("/first", "/second"));
    EXPECT_EQ(places.user_config_dir, "/custom/config");
  }
}

}  // namespace
}  // namespace ostrivel
