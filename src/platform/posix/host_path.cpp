// First cut of the path mapping: drives and UNC roots from the environment,
// separators turned around. Case-insensitive lookup comes with the file half
// of the layer.
#include "host_path.h"

#include <cstdlib>

#include "utf.h"

namespace posix {

bool HostPathOf(LPCWSTR windowsPath, std::string& hostPath) {
  std::string path = Utf8FromUtf16(windowsPath);
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  if (path.size() >= 2 && path[1] == ':') {
    char drive = path[0];
    if (drive >= 'a' && drive <= 'z') drive = static_cast<char>(drive - 'a' + 'A');
    std::string name = std::string("RUD_DRIVE_") + drive;
    const char* root = std::getenv(name.c_str());
    std::string base = root != nullptr ? root : (drive == 'C' || drive == 'Z') ? "/" : "";
    if (base.empty()) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    hostPath = base + "/" + path.substr(2);
    return true;
  }
  if (path.size() >= 2 && path[0] == '/' && path[1] == '/') {
    const char* root = std::getenv("RUD_UNC_ROOT");
    if (root == nullptr) {
      SetLastError(ERROR_BAD_NETPATH);
      return false;
    }
    hostPath = std::string(root) + "/" + path.substr(2);
    return true;
  }
  hostPath = path;
  return true;
}

}  // namespace posix
