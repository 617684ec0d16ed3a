#include "platform/posix/files/name_lookup.h"

#include <dirent.h>
#include <errno.h>
#include <locale.h>
#include <sys/stat.h>
#include <wctype.h>

#include "platform/posix/files/file_data.h"
#include "platform/posix/text/utf.h"

namespace posix {
namespace {

// The case mapping of the C library's UTF-8 locale, whatever the process's
// own locale is; without it only ASCII letters fold.
locale_t CaseLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

// Windows folds a name unit by unit to upper case.
std::u16string Folded(const std::string& name) {
  std::u16string units = Utf16FromUtf8(name);
  locale_t locale = CaseLocale();
  for (char16_t& unit : units) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    if (locale == nullptr) {
      if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - u'a' + u'A');
      continue;
    }
    wint_t upper = towupper_l(unit, locale);
    if (upper <= 0xFFFF) unit = static_cast<char16_t>(upper);
  }
  return units;
}

class FolderListing {
 public:
  explicit FolderListing(const std::string& folder)
      : dir_(opendir(folder.empty() ? "." : folder.c_str())) {}
  ~FolderListing() {
    if (dir_ != nullptr) closedir(dir_);
  }
  FolderListing(const FolderListing&) = delete;
  FolderListing& operator=(const FolderListing&) = delete;
  DIR* get() const { return dir_; }

 private:
  DIR* dir_;
};

}  // namespace

std::string JoinedPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::optional<std::string> EntryNamed(const std::string& folder, const std::string& name) {
  struct stat status;
  if (StatusAt(AT_FDCWD, JoinedPath(folder, name).c_str(), AT_SYMLINK_NOFOLLOW, status) == 0) {
    return name;
  }
  if (errno != ENOENT) return std::nullopt;
  FolderListing listing(folder);
  if (listing.get() == nullptr) return std::nullopt;
  std::u16string wanted = Folded(name);
  std::optional<std::string> found;
  while (dirent* entry = readdir(listing.get())) {
    std::string candidate = entry->d_name;
    if (candidate == "." || candidate == "..") continue;
    if (Folded(candidate) != wanted) continue;
    // Several names may differ in case only; the choice must not depend on
    // the order the folder happens to list them in.
    if (!found || candidate < *found) found = candidate;
  }
  return found;
}

}  // namespace posix
