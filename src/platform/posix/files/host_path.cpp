#include "platform/posix/files/host_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/posix/files/descriptor.h"
#include "platform/posix/files/file_data.h"
#include "platform/posix/files/name_lookup.h"
#include "platform/posix/text/utf.h"

namespace posix {
namespace {

bool IsHostSeparator(char c) { return c == '/'; }

// The names between separators; empty names (doubled separators) drop out.
template <class Char>
std::vector<std::basic_string<Char>> NamesBetween(std::basic_string_view<Char> text,
                                                  bool (*isSeparator)(Char)) {
  std::vector<std::basic_string<Char>> names;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = start;
    while (end < text.size() && !isSeparator(text[end])) ++end;
    if (end > start) names.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

}  // namespace

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

std::string ParentOf(const std::string& hostPath) {
  const std::string path = WithoutTrailingSlashes(hostPath);
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool LinkTextAt(int folder, const char* name, std::string& text) {
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t got = ::readlinkat(folder, name, buffer.data(), buffer.size());
    if (got < 0) return false;
    if (static_cast<size_t>(got) < buffer.size()) {
      text.assign(buffer.data(), static_cast<size_t>(got));
      return true;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::vector<std::string> NamesOf(const std::string& hostPath) {
  return NamesBetween(std::string_view(hostPath), IsHostSeparator);
}

bool IsHostFolder(const std::string& path) {
  struct stat status;
  return StatusAt(AT_FDCWD, path.c_str(), 0, status) == 0 && S_ISDIR(status.st_mode);
}

namespace {

// Where a Windows path starts on the host, and how far ".." may climb.
struct PathStart {
  std::string base;       // host folder the components are below; "" is the working folder
  bool relative = false;  // a relative host path: a leading ".." stays
  char16_t drive = 0;     // the drive letter of X:..., as typed
  bool share = false;     // \\host\share\...
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsAsciiLetter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

bool IsForbidden(char16_t c) {
  return (c >= 1 && c <= 31) ||
         std::u16string_view(u"<>:\"|?*").find(c) != std::u16string_view::npos;
}

std::vector<std::u16string> ComponentsOf(std::u16string_view text) {
  return NamesBetween(text, IsSeparator);
}

// The letter of a path that starts with a drive (X:), whether that drive
// exists or not.
std::optional<char16_t> DriveLetterOf(std::u16string_view path) {
  if (path.size() >= 2 && path[1] == u':' && IsAsciiLetter(path[0])) return path[0];
  return std::nullopt;
}

// "." and ".." taken away without looking at the disk, as Windows does
// before a path reaches a file system. ".." at the top of a drive or share
// stays there; at the top of a relative host path it is kept.
std::vector<std::u16string> Normalised(const std::vector<std::u16string>& components,
                                       bool relative) {
  std::vector<std::u16string> result;
  for (const std::u16string& name : components) {
    if (name == u".") continue;
    if (name == u"..") {
      if (!result.empty() && result.back() != u"..") {
        result.pop_back();
      } else if (relative) {
        result.push_back(name);
      }
      continue;
    }
    result.push_back(name);
  }
  return result;
}

bool HasForbiddenName(const std::vector<std::u16string>& components) {
  for (const std::u16string& name : components) {
    for (char16_t c : name) {
      if (IsForbidden(c)) return true;
    }
  }
  return false;
}

// The components below base, each matched to the entry Windows would pick.
// Once a name is missing the rest can't exist: it is kept as given, and the
// call that uses the path reports what is missing.
std::string LookedUp(const std::string& base, const std::vector<std::u16string>& components) {
  std::vector<std::string> names;
  std::string exact = base;
  for (const std::u16string& component : components) {
    names.push_back(Utf8FromUtf16(component));
    exact = JoinedPath(exact, names.back());
  }
  // Where the whole path is there as given, every folder on the way is too
  // and each name is its own entry: one look at the disk instead of one per
  // name. Only a path that isn't there is matched name by name.
  struct stat status;
  if (names.empty() || StatusAt(AT_FDCWD, exact.c_str(), AT_SYMLINK_NOFOLLOW, status) == 0) {
    return exact;
  }

  std::string path = base;
  bool found = true;
  for (std::string& name : names) {
    if (found && name != "..") {
      std::optional<std::string> entry = EntryNamed(path, name);
      if (entry) {
        name = *entry;
      } else {
        found = false;
      }
    }
    path = JoinedPath(path, name);
  }
  return path;
}

// \\host\share: the share's folder under the UNC root. The host and the share
// are part of the root, not components ".." can climb out of.
bool ShareStart(std::vector<std::u16string>& components, PathStart& start) {
  const char* uncRoot = std::getenv("RUD_UNC_ROOT");
  if (uncRoot == nullptr || *uncRoot == '\0' || components.size() < 2) {
    SetLastError(ERROR_BAD_NETPATH);
    return false;
  }
  if (components[0] == u"." || components[0] == u".." || components[1] == u"." ||
      components[1] == u"..") {
    SetLastError(ERROR_BAD_NETPATH);
    return false;
  }
  std::string share = LookedUp(WithoutTrailingSlashes(uncRoot), {components[0], components[1]});
  if (!IsHostFolder(share)) {
    SetLastError(ERROR_BAD_NETPATH);
    return false;
  }
  components.erase(components.begin(), components.begin() + 2);
  start.base = share;
  return true;
}

// Where a Windows path starts and the names that follow; false with the last
// error set when it can't name a host file.
bool ParsedPath(LPCWSTR windowsPath, PathStart& start, std::vector<std::u16string>& components) {
  const std::u16string_view path = windowsPath != nullptr ? windowsPath : u"";
  if (path.empty()) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (const std::optional<char16_t> letter = DriveLetterOf(path)) {
    if (!DriveRootOf(*letter, start.base)) {
      SetLastError(ERROR_PATH_NOT_FOUND);
      return false;
    }
    start.drive = *letter;
    components = ComponentsOf(path.substr(2));
  } else if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    components = ComponentsOf(path.substr(2));
    if (HasForbiddenName(components)) {
      SetLastError(ERROR_INVALID_NAME);
      return false;
    }
    if (!ShareStart(components, start)) return false;
    start.share = true;
  } else {
    start.relative = !IsSeparator(path[0]);
    start.base = start.relative ? "" : "/";
    components = ComponentsOf(path);
  }
  if (HasForbiddenName(components)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  return true;
}

}  // namespace

bool DriveRootOf(char16_t letter, std::string& root) {
  if (!IsAsciiLetter(letter)) return false;
  char drive = static_cast<char>(letter >= u'a' ? letter - u'a' + u'A' : letter);
  const char* mapped = std::getenv((std::string("RUD_DRIVE_") + drive).c_str());
  if (mapped != nullptr) {
    if (*mapped == '\0') return false;
    root = WithoutTrailingSlashes(mapped);
    return true;
  }
  // C: holds the suite's install root, C:\ZARVEK\: under /opt it is the
  // add-on package folder /opt/ZARVEK that the FHS provides for, not a new
  // top-level folder. Z: is the whole host, as Wine maps it.
  if (drive == 'C') {
    root = "/opt";
    return true;
  }
  if (drive == 'Z') {
    root = "/";
    return true;
  }
  return false;
}

bool NamesADriveRoot(LPCWSTR windowsPath) {
  PathStart start;
  std::vector<std::u16string> components;
  return ParsedPath(windowsPath, start, components) && start.drive != 0 &&
         Normalised(components, false).empty();
}

bool ShareFolderOf(LPCWSTR windowsPath, std::string& folder) {
  PathStart start;
  std::vector<std::u16string> components;
  if (!ParsedPath(windowsPath, start, components)) return false;
  if (!start.share && (start.drive == 0 || start.drive == u'C' || start.drive == u'c')) return false;
  folder = start.base;
  return true;
}

std::string RealPathOf(const std::string& hostPath) {
  char resolved[PATH_MAX];
  if (realpath(hostPath.c_str(), resolved) == nullptr) return {};
  return resolved;
}

std::string OpenFilePath(int fd, const std::string& openedAs) {
  std::string path;
  if (LinkTextAt(AT_FDCWD, ProcEntryOf(fd).c_str(), path)) return path;
  path = RealPathOf(openedAs);
  struct stat named;
  struct stat open;
  if (path.empty() || StatusAt(AT_FDCWD, path.c_str(), 0, named) != 0 ||
      StatusOf(fd, open) != 0 || !SameFile(named, open)) {
    return {};
  }
  return path;
}

bool LiesWithin(const std::string& path, const std::string& folder) {
  const std::string bare = WithoutTrailingSlashes(folder);
  if (bare == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, bare.size(), bare) == 0 &&
         (path.size() == bare.size() || path[bare.size()] == '/');
}

bool LiesOnADrive(const std::string& path) {
  std::string root;
  for (char16_t letter = u'A'; letter <= u'Z'; ++letter) {
    if (!DriveRootOf(letter, root)) continue;
    const std::string resolved = RealPathOf(root);
    if (!resolved.empty() && LiesWithin(path, resolved)) return true;
  }
  return false;
}

bool HostPathOf(LPCWSTR windowsPath, std::string& hostPath) {
  PathStart start;
  std::vector<std::u16string> components;
  if (!ParsedPath(windowsPath, start, components)) return false;
  components = Normalised(components, start.relative);
  hostPath = LookedUp(start.base, components);
  if (hostPath.empty()) hostPath = ".";
  // A trailing separator says the name must be a folder; the host says so too.
  const std::u16string_view path(windowsPath);
  if (IsSeparator(path.back()) && hostPath.back() != '/') hostPath += '/';
  return true;
}

}  // namespace posix
