// A scoped temporary folder with real files in it, removed with everything
// below it when the test ends.
#pragma once

#include <filesystem>
#include <set>
#include <string>
#include <string_view>

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  // A path below the folder.
  std::filesystem::path operator/(std::string_view relative) const { return path_ / relative; }

  // Writes a file below the folder, creating its parent folders.
  std::filesystem::path WriteFile(std::string_view relative, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

std::string ReadFileBytes(const std::filesystem::path& path);

// The names in a folder; none when it can't be read.
std::set<std::string> EntriesOf(const std::filesystem::path& folder);
