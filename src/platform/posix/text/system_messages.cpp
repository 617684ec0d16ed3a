// FormatMessageW for the program's own message table (FROM_HMODULE: the
// texts of app/events.mc, see message_table.h) and, from the system, for
// the codes a report can show, in English or Spanish:
// the language the call asks for or, asked for none, the user's (LC_ALL,
// LC_MESSAGES, LANG), English for any other. The English texts are Windows'
// own; the Spanish ones are those Wine gives in a Spanish locale. Where
// Windows' text has an insert (%1: the file's name), the text here is
// worded without it: nothing here could fill it in, and a report must not
// show "%1". Each text is ended as the system's message table ends it. A
// code without a text is answered as Windows answers it: no text, and
// ERROR_MR_MID_NOT_FOUND.
//
// The program asks for a system text only in an EOSError report, and such a
// report follows a failed version call (GetFileVersionInfoSizeW,
// GetFileVersionInfoW, VerQueryValueW) or a failed GetVolumeInformationW. The
// codes below are the ones those calls can leave here: the path's own
// failures (host_path.cpp), what open, fstat, pread and statvfs can fail with
// as win_error.cpp translates it (an errno it does not list is
// ERROR_GEN_FAILURE; a name the file system refuses is EINVAL, a volume that
// can't tell its facts ENOSYS), a folder that is no file, a file that shrank,
// and the image reader's verdicts (pe_image.cpp). Codes set only where a report can't
// follow (the copy, the console, arguments the program never passes) have
// no text here.
//
// The texts go by the Windows code alone, not by the C library's strerror:
// one code stands for several errno values (ENOENT and ENOTDIR both make a
// missing path), and the report must name the code it shows.
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/posix/text/locale_id.h"
#include "platform/posix/text/message_table.h"
#include "platform/posix/win32_api.h"

namespace posix {
namespace {

struct SystemText {
  DWORD code;
  std::u16string_view english;
  std::u16string_view spanish;
};

constexpr SystemText kSystemTexts[] = {
    {ERROR_FILE_NOT_FOUND,
     u"The system cannot find the file specified.",
     u"Archivo no encontrado."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.", u"Ruta no encontrada."},
    {ERROR_TOO_MANY_OPEN_FILES,
     u"The system cannot open the file.",
     u"Demasiados archivos abiertos."},
    {ERROR_ACCESS_DENIED, u"Access is denied.", u"Acceso denegado."},
    {ERROR_NOT_ENOUGH_MEMORY,
     u"Not enough memory resources are available to process this command.",
     u"Memoria insuficiente."},
    {ERROR_GEN_FAILURE, u"A device attached to the system is not functioning.", u"Fallo general."},
    {ERROR_HANDLE_EOF, u"Reached the end of the file.", u"Fin del archivo."},
    {ERROR_BAD_NETPATH, u"The network path was not found.", u"Ruta de red inválida."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect.", u"Parámetro inválido."},
    {ERROR_CALL_NOT_IMPLEMENTED,
     u"This function is not supported on this system.",
     u"Llamada no implementada."},
    {ERROR_INVALID_NAME,
     u"The filename, directory name, or volume label syntax is incorrect.",
     u"Nombre inválido."},
    {ERROR_BUSY, u"The requested resource is in use.", u"Recurso en uso."},
    {ERROR_BAD_EXE_FORMAT, u"The file is not a valid Win32 application.", u"Formato EXE erróneo."},
    {ERROR_FILENAME_EXCED_RANGE,
     u"The filename or extension is too long.",
     u"El nombre de archivo es demasiado largo."},
    {ERROR_RESOURCE_DATA_NOT_FOUND,
     u"The specified image file did not contain a resource section.",
     u"Datos del recurso no encontrados."},
    {ERROR_RESOURCE_TYPE_NOT_FOUND,
     u"The specified resource type cannot be found in the image file.",
     u"Tipo del recurso no encontrado."},
    {ERROR_RESOURCE_NAME_NOT_FOUND,
     u"The specified resource name cannot be found in the image file.",
     u"Nombre del recurso no encontrado."},
    {ERROR_RESOURCE_LANG_NOT_FOUND,
     u"The specified resource language ID cannot be found in the image file.",
     u"Lenguaje del recurso no encontrado."},
    {ERROR_CANT_RESOLVE_FILENAME,
     u"The name of the file cannot be resolved by the system.",
     u"No puede resolverse el nombre del fichero."},
};

// The system's message table ends each text with a blank and a line break.
constexpr std::u16string_view kTextEnd = u" \r\n";

constexpr WORD kPrimaryLanguageMask = 0x3FF;

}  // namespace
}  // namespace posix

namespace posix {
namespace {

// The message in the caller's buffer, or in one allocated for it; its length.
DWORD Delivered(std::u16string_view text, DWORD flags, LPWSTR buffer, DWORD size) {
  const size_t length = text.size();
  WCHAR* target = buffer;
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    target = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
    if (target == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    *reinterpret_cast<WCHAR**>(buffer) = target;
  } else if (size < length + 1) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(target, text.data(), length * sizeof(WCHAR));
  target[length] = 0;
  return static_cast<DWORD>(length);
}

// A message of the program's own table (app/events.mc), whatever module is
// named: the inserts come as an array (FORMAT_MESSAGE_ARGUMENT_ARRAY) or are
// left as they stand.
DWORD OwnMessage(DWORD flags, DWORD messageId, DWORD language, LPWSTR buffer, DWORD size,
                 va_list* arguments) {
  if (language != LANG_NEUTRAL && language != LANG_SPANISH) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  const char16_t* text = OwnMessageText(messageId);
  if (text == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  if ((flags & FORMAT_MESSAGE_IGNORE_INSERTS) != 0) {
    return Delivered(FormattedMessage(text, nullptr, 0), flags, buffer, size);
  }
  if ((flags & FORMAT_MESSAGE_ARGUMENT_ARRAY) == 0 || arguments == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto* inserts = reinterpret_cast<const WCHAR* const*>(arguments);
  return Delivered(FormattedMessage(text, inserts, InsertsNamed(text)), flags, buffer, size);
}

}  // namespace
}  // namespace posix

DWORD FormatMessageW(DWORD flags, LPCVOID, DWORD messageId, DWORD languageId, LPWSTR buffer,
                     DWORD size, va_list* arguments) {
  const bool fromSystem = (flags & FORMAT_MESSAGE_FROM_SYSTEM) != 0;
  const bool fromModule = (flags & FORMAT_MESSAGE_FROM_HMODULE) != 0 && !fromSystem;
  if ((!fromModule && !fromSystem) || buffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const DWORD asked = languageId & posix::kPrimaryLanguageMask;
  if (fromModule) return posix::OwnMessage(flags, messageId, asked, buffer, size, arguments);
  // A language asked for must be one of the two; the user's own language
  // falls back to English, as Windows falls back to its base language.
  if (asked != LANG_NEUTRAL && asked != LANG_SPANISH && asked != LANG_ENGLISH) {
    SetLastError(ERROR_RESOURCE_LANG_NOT_FOUND);
    return 0;
  }
  const DWORD language =
      asked != LANG_NEUTRAL ? asked : posix::UserInterfaceLanguage() & posix::kPrimaryLanguageMask;
  const bool spanish = language == LANG_SPANISH;
  const posix::SystemText* found = nullptr;
  for (const posix::SystemText& entry : posix::kSystemTexts) {
    if (entry.code == messageId) found = &entry;
  }
  if (found == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  std::u16string text(spanish ? found->spanish : found->english);
  text += posix::kTextEnd;
  return posix::Delivered(text, flags, buffer, size);
}

// What FormatMessageW allocates is released here.
HLOCAL LocalFree(HLOCAL memory) {
  std::free(memory);
  return nullptr;
}
