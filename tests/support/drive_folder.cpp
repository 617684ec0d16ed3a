#include "support/drive_folder.h"

#include <cstdlib>

namespace {

[[maybe_unused]] constexpr char kDriveVariable[] = "RUD_DRIVE_Q";

}  // namespace

#ifdef _WIN32

DriveFolder::DriveFolder(const std::filesystem::path& folder) {
  path_ = folder.u16string();
  while (!path_.empty() && path_.back() == u'\\') path_.pop_back();
}

DriveFolder::~DriveFolder() = default;

#else

DriveFolder::DriveFolder(const std::filesystem::path& folder) : path_(u"Q:") {
  if (const char* former = std::getenv(kDriveVariable)) formerMapping_ = former;
  setenv(kDriveVariable, folder.c_str(), 1);
}

DriveFolder::~DriveFolder() {
  if (formerMapping_) {
    setenv(kDriveVariable, formerMapping_->c_str(), 1);
  } else {
    unsetenv(kDriveVariable);
  }
}

#endif

Text DriveFolder::operator/(std::u16string_view relative) const {
  return path_ + u"\\" + Text(relative);
}
