#include "platform/posix/files/device_names.h"

#include <filesystem>
#include <system_error>

#include "platform/posix/files/host_path.h"
#include "platform/posix/text/utf.h"

namespace posix {
namespace {

constexpr char16_t kHostDevice[] = u"\\Device\\Host";

// The path with its links and "." and ".." resolved, as far as it exists.
std::string CanonicalPath(const std::string& hostPath) {
  std::error_code error;
  std::filesystem::path canonical = std::filesystem::weakly_canonical(hostPath, error);
  if (error) return std::filesystem::absolute(hostPath, error).lexically_normal().string();
  return canonical.string();
}

}  // namespace

std::u16string DevicePathOf(const std::string& hostPath) {
  std::u16string path = Utf16FromUtf8(CanonicalPath(hostPath));
  for (char16_t& unit : path) {
    if (unit == u'/') unit = u'\\';
  }
  return kHostDevice + path;
}

bool DriveDeviceName(char16_t letter, std::u16string& deviceName) {
  std::string root;
  if (!DriveRootOf(letter, root)) return false;
  deviceName = DevicePathOf(root);
  // The host root's device path is the device itself.
  while (!deviceName.empty() && deviceName.back() == u'\\') deviceName.pop_back();
  return true;
}

}  // namespace posix
