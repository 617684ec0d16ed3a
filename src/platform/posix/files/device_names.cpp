#include "platform/posix/files/device_names.h"

#include "platform/posix/files/host_path.h"
#include "platform/posix/text/utf.h"

namespace posix {
namespace {

constexpr char16_t kHostDevice[] = u"\\Device\\Host";

}  // namespace

std::u16string DevicePathOf(const std::string& realPath) {
  std::u16string path = Utf16FromUtf8(realPath);
  for (char16_t& unit : path) {
    if (unit == u'/') unit = u'\\';
  }
  return kHostDevice + path;
}

std::u16string DevicePathOfOpenFile(int fd, const std::string& openedAs) {
  const std::string path = OpenFilePath(fd, openedAs);
  return DevicePathOf(path.empty() ? openedAs : path);
}

bool DriveDeviceName(char16_t letter, std::u16string& deviceName) {
  std::string root;
  if (!DriveRootOf(letter, root)) return false;
  // A root that is missing or can't be resolved is named as it is set.
  const std::string real = RealPathOf(root);
  deviceName = DevicePathOf(real.empty() ? root : real);
  // The host root's device path is the device itself.
  while (!deviceName.empty() && deviceName.back() == u'\\') deviceName.pop_back();
  return true;
}

}  // namespace posix
