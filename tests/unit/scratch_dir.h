// A fresh folder under the temporary directory for one test, removed with everything in it.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace ostrivel::testing {

class ScratchDir {
 public:
  ScratchDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "ostrivel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  ~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::string& path() const { return path_; }

  // The full path of `relative`, with its folders created.
  std::string Folder(std::string_view relative) const {
    const std::string full = path_ + "/" + std::string(relative);
    std::filesystem::create_directories(full);
    return full;
  }

  // Writes `bytes` to `relative` (folders created) and gives the full path.
  std::string WriteFile(std::string_view relative, std::string_view bytes) const {
    const std::filesystem::path full = path_ + "/" + std::string(relative);
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) ADD_FAILURE() << "cannot write " << full;
    return full.string();
  }

 private:
  std::string path_;
};

}  // namespace ostrivel::testing
