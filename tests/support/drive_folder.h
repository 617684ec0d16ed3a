// A host folder as the program names it. The program's folder logic splits on
// backslashes and colons only, so on a POSIX host the folder is reached as
// drive Q: (RUD_DRIVE_Q, restored when the object goes); on Windows it is
// named by its own path.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "console/text.h"

class DriveFolder {
 public:
  explicit DriveFolder(const std::filesystem::path& folder);
  ~DriveFolder();
  DriveFolder(const DriveFolder&) = delete;
  DriveFolder& operator=(const DriveFolder&) = delete;

  // The folder without a trailing backslash: Q: or C:\users\...\rud-test-1.
  const Text& Path() const { return path_; }
  // A path below the folder: Path() \ relative.
  Text operator/(std::u16string_view relative) const;

 private:
  Text path_;
  std::optional<std::string> formerMapping_;
};
