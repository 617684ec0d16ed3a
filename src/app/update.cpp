#include "app/update.h"

#include <cstdint>

#include "app/copy_error_text.h"
#include "console/console_stream.h"
#include "console/exceptions.h"
#include "fileinfo/folders.h"
#include "fileinfo/time_stamps.h"
#include "fileinfo/version_info.h"
#include "platform/win32.h"

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
    return;
  }

  // The versions are only shown, never compared. Both are read before anything
  // is written to disk, so an unreadable resource stops the update untouched.
  if (remoteFound) {
    const TEXEVersionData newVersion = GetEXEVersionData(serverCopy);
    WriteLine({u"Nueva Versión: ", newVersion.FileVersion, u" ", newVersion.DateModified});
  }
  if (localFound) {
    const TEXEVersionData oldVersion = GetEXEVersionData(localCopy);
    WriteLine({u"Antigua Versión: ", oldVersion.FileVersion, u" ", oldVersion.DateModified});
  } else {
    WriteLine({u"Archivo local no encontrado, será actualizado."});
  }

  // A folder that could not be made shows up as the copy's own failure.
  CreateFolderChain(localFolder);

  if (!CopyFileW(W(serverCopy), W(localCopy), FALSE)) {
    const auto code = static_cast<int32_t>(GetLastError());
    throw Exception(u"Error al intentar copiar el archivo: " + CopyErrorText(code));
  }
  WriteLine({u"Se realizó la actualización de manera exitosa."});
}
