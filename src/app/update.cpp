#include "app/update.h"

#include <cstdint>

#include "app/copy_error_text.h"
#include "app/system_log.h"
#include "console/console_stream.h"
#include "console/exceptions.h"
#include "console/shown_text.h"
#include "fileinfo/date_time_text.h"
#include "fileinfo/folders.h"
#include "fileinfo/time_stamps.h"
#include "fileinfo/version_info.h"
#include "platform/win32.h"

namespace {

// What the version calls report for a file that holds no readable version
// resource: not an executable at all (emptied, cut short) or one without
// the resource, or with the resource directory damaged.
bool IsDamagedImageCode(uint32_t code) {
  switch (code) {
    case ERROR_BAD_FORMAT:
    case ERROR_BAD_EXE_FORMAT:
    case ERROR_RESOURCE_DATA_NOT_FOUND:
    case ERROR_RESOURCE_TYPE_NOT_FOUND:
    case ERROR_RESOURCE_NAME_NOT_FOUND:
    case ERROR_RESOURCE_LANG_NOT_FOUND:
      return true;
    default:
      return false;
  }
}

// The local copy's version, for its line only. A damaged local copy is what
// the update is there to mend: its version shows empty beside its own date
// and the update goes on. Any other failure (a file that can't be opened, a
// link that can't be followed) still stops the run, and so does a device in
// the program's place, which is no program to mend.
TEXEVersionData LocalVersion(const Text& localCopy, const FileDateTimeInfo& localStampInfo) {
  try {
    return GetEXEVersionData(localCopy);
  } catch (const EOSError& error) {
    const bool device = (localStampInfo.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0;
    if (!IsDamagedImageCode(error.ErrorCode) || device) throw;
  }
  TEXEVersionData damaged;
  damaged.DateModified = DateTimeText(LastWriteLocalTime(localStampInfo));
  return damaged;
}

// A version string as standard output shows it, in the code page that stream
// settled on with the banner: its text comes from whoever can write to the
// update share, and a line break, a terminal escape or a bidirectional mark in
// it could forge, hide or reorder the lines that follow.
Text Shown(const Text& versionText) {
  return ShownText(StandardOutput().CodePage, WithoutBlankRuns(versionText));
}

// The copy's own failure, in Spanish, for the last error.
[[noreturn]] void RaiseCopyFailure() {
  const auto code = static_cast<int32_t>(GetLastError());
  throw Exception(u"Error al intentar copiar el archivo: " + CopyErrorText(code));
}

// The attributes that make the copy over a file refused: a copy is not
// made over a read-only, hidden or system file.
constexpr DWORD kLockingAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// The copy may bring the server copy's attributes along. One that would have
// every later update refused (a release folder copied from read-only media,
// a build published hidden) is taken off the installed copy; the others stay.
// The new copy is in place by now: a clearing that fails leaves the update
// done, and the next update says what stands in its way. A local copy that
// carries such an attribute on purpose never gets here: the copy over it is
// refused.
void ClearLockingAttributes(const Text& installedCopy) {
  const DWORD attributes = GetFileAttributesW(W(installedCopy));
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kLockingAttributes) == 0) return;
  const DWORD kept = attributes & ~kLockingAttributes;
  SetFileAttributesW(W(installedCopy), kept != 0 ? kept : FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

void RunUpdate(const InstallPaths& paths) {
  const Text localCopy = LocalRoot + paths.ProgramFolder + paths.ProgramFile;
  const Text serverCopy = paths.ServerPath + paths.ProgramFolder + paths.ProgramFile;
  const Text localFolder = LocalRoot + paths.ProgramFolder;

  // Both records start all zero: a copy that is not found keeps that value,
  // and the zero time of a missing server copy is never later than a real file.
  FileDateTimeInfo localStampInfo{};
  FileDateTimeInfo remoteStampInfo{};
  const bool localFound = GetFileDateTimeInfo(localCopy, true, localStampInfo);
  const bool remoteFound = GetFileDateTimeInfo(serverCopy, true, remoteStampInfo);

  if (!localFound && !remoteFound) {
    throw Exception(
        u"No fue posible realizar la validación del archivo, debido a que no fue "
        u"encontrado de manera local ni remota.");
  }

  // Only a server copy written strictly later replaces an existing local copy;
  // an equal or older one (or none at all) ends the run without a word.
  if (localFound &&
      LastWriteLocalTime(remoteStampInfo) - LastWriteLocalTime(localStampInfo) <= 0.0) {
    if (!remoteFound) LogServerCopyMissing(serverCopy);
    return;
  }

  // The versions are only shown, never compared. Both are read before anything
  // is written to disk, so an unreadable server resource stops the update
  // untouched: nothing that is not a program replaces the local copy.
  TEXEVersionData newVersion;
  TEXEVersionData oldVersion;
  if (remoteFound) {
    newVersion = GetEXEVersionData(serverCopy);
    WriteLine({u"Nueva Versión: ", Shown(newVersion.FileVersion), u" ", newVersion.DateModified});
  }
  if (localFound) {
    oldVersion = LocalVersion(localCopy, localStampInfo);
    WriteLine({u"Antigua Versión: ", Shown(oldVersion.FileVersion), u" ", oldVersion.DateModified});
  } else {
    WriteLine({u"Archivo local no encontrado, será actualizado."});
  }

  // A folder that could not be made shows up as the copy's own failure.
  CreateFolderChain(localFolder);

  if (!CopyFileW(W(serverCopy), W(localCopy), FALSE)) RaiseCopyFailure();
  ClearLockingAttributes(localCopy);
  WriteLine({u"Se realizó la actualización de manera exitosa."});
  LogInstalled(serverCopy, newVersion, remoteStampInfo, localFound ? &oldVersion : nullptr, localStampInfo);
}
