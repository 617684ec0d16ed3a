#include "support/symbolic_link.h"

#include <system_error>

namespace fs = std::filesystem;

bool CreateTestLink(const fs::path& target, const fs::path& link, bool toFolder) {
  std::error_code error;
  if (toFolder) {
    fs::create_directory_symlink(target, link, error);
  } else {
    fs::create_symlink(target, link, error);
  }
  // A call may report success and leave nothing behind.
  return !error && fs::is_symlink(fs::symlink_status(link, error));
}
