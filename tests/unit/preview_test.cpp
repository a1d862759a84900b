#include "preview/preview.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "codepage/codepage.h"
#include "preview/caption.h"

namespace ostrivel {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

class PreviewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The temporary directory is read once per process: set it before the first preview.
    static std::string dir = fs::temp_directory_path() / ("ostrivel-preview-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("TMPDIR", dir.c_str(), 1);
    temp_dir = dir;
  }
  static inline std::string temp_dir;

  std::string Preview(std::string_view text) {
    std::string navigated;
    PreviewHtml(text, [&](const std::string& path) { navigated = path; });
    return navigated;
  }
};

TEST_F(PreviewTest, WritesTheExactBytesToANewOwnerOnlyFileAndNavigatesThere) {
  const std::string text = "<p>\xD6\xD0\xCE\xC4</p>\r\n\x94\x39\xFC\x36";
  const std::string first = Preview(text);
  const std::string second = Preview(text);
  ASSERT_NE(first, second);
  for (const std::string& path : {first, second}) {
    EXPECT_EQ(fs::path(path).parent_path(), fs::path(temp_dir));
    EXPECT_EQ(fs::path(path).extension(), ".tmp");
    EXPECT_EQ(ReadFile(path), text);
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600u);
  }
  EXPECT_EQ(fs::file_size(Preview("")), 0u);
}

TEST(HelpPage, IsFifteenCrLfLinesOfCodePage936WithItsTitle) {
  const std::string page(HelpPageHtml());
  EXPECT_EQ(page.substr(0, 8), "<html>\r\n");
  EXPECT_EQ(page.substr(page.size() - 7), "</html>");  // nothing after the last line
  std::size_t line_breaks = 0;
  for (std::size_t at = page.find("\r\n"); at != std::string::npos; at = page.find("\r\n", at + 2)) ++line_breaks;
  EXPECT_EQ(line_breaks, 14u);
  EXPECT_NE(page.find(codepage::Utf8ToCp936("<title>Ostrivel说明</title>")), std::string::npos);
  EXPECT_NE(page.find("target=\"_Blank\" ><b>"), std::string::npos);
}

TEST(Caption, IsTheTitleWholeThenTheSuffix) {
  EXPECT_EQ(kCaptionSuffix, "  \xA1\xAA\xA1\xAA OstrivelV1.0");
  EXPECT_EQ(CaptionForTitle(""), kCaptionSuffix);
  const std::string long_title(5000, 'x');
  EXPECT_EQ(CaptionForTitle(long_title), long_title + std::string(kCaptionSuffix));
  EXPECT_EQ(JoinTexts({"a", "", "bc"}), "abc");
}

}  // namespace
}  // namespace ostrivel
