// FormatMessageW for the program's own message table (FROM_HMODULE: the
// texts of app/events.mc, see message_table.h) and, from the system, for the
// text of an error code, in English or Spanish:
// the language the call asks for or, asked for none, the user's (LC_ALL,
// LC_MESSAGES, LANG), English for any other. The English texts are Windows'
// own; the Spanish ones are those Wine gives in a Spanish locale. Where
// Windows' text has an insert (%1: the file's name), the text here is
// worded without it: nothing here could fill it in, and a report must not
// show "%1". Each text is ended as the system's message table ends it. A
// code without a text is answered as Windows answers it: no text, and
// ERROR_MR_MID_NOT_FOUND.
//
// Every code of win32_api.h has a text: whichever call an EOSError report
// follows, and whatever errno win_error.cpp turns into its code, the report
// names the failure in words.
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
    {ERROR_SUCCESS, u"The operation completed successfully.", u"Éxito."},
    {ERROR_FILE_NOT_FOUND,
     u"The system cannot find the file specified.",
     u"Archivo no encontrado."},
    {ERROR_PATH_NOT_FOUND, u"The system cannot find the path specified.", u"Ruta no encontrada."},
    {ERROR_TOO_MANY_OPEN_FILES,
     u"The system cannot open the file.",
     u"Demasiados archivos abiertos."},
    {ERROR_ACCESS_DENIED, u"Access is denied.", u"Acceso denegado."},
    {ERROR_INVALID_HANDLE, u"The handle is invalid.", u"Descriptor inválido."},
    {ERROR_NOT_ENOUGH_MEMORY,
     u"Not enough memory resources are available to process this command.",
     u"Memoria insuficiente."},
    {ERROR_BAD_FORMAT,
     u"An attempt was made to load a program with an incorrect format.",
     u"Formato inválido."},
    {ERROR_OUTOFMEMORY,
     u"Not enough storage is available to complete this operation.",
     u"Memoria agotada."},
    {ERROR_INVALID_DRIVE, u"The system cannot find the drive specified.", u"Unidad inválida."},
    {ERROR_NOT_SAME_DEVICE,
     u"The system cannot move the file to a different disk drive.",
     u"No es la misma unidad."},
    {ERROR_WRITE_PROTECT, u"The media is write protected.", u"Protegido contra escritura."},
    {ERROR_NOT_READY, u"The device is not ready.", u"No está lista."},
    {ERROR_WRITE_FAULT,
     u"The system cannot write to the specified device.",
     u"Error de escritura."},
    {ERROR_READ_FAULT, u"The system cannot read from the specified device.", u"Error de lectura."},
    {ERROR_GEN_FAILURE, u"A device attached to the system is not functioning.", u"Fallo general."},
    {ERROR_SHARING_VIOLATION,
     u"The process cannot access the file because it is being used by another process.",
     u"Violación de recurso compartido."},
    {ERROR_LOCK_VIOLATION,
     u"The process cannot access the file because another process has locked a portion of the "
     u"file.",
     u"Violación del bloqueo."},
    {ERROR_HANDLE_EOF, u"Reached the end of the file.", u"Fin del archivo."},
    {ERROR_NOT_SUPPORTED, u"The request is not supported.", u"Petición no soportada."},
    {ERROR_BAD_NETPATH, u"The network path was not found.", u"Ruta de red inválida."},
    {ERROR_FILE_EXISTS, u"The file exists.", u"El archivo existe."},
    {ERROR_INVALID_PARAMETER, u"The parameter is incorrect.", u"Parámetro inválido."},
    {ERROR_BROKEN_PIPE, u"The pipe has been ended.", u"Tubería rota."},
    {ERROR_OPEN_FAILED,
     u"The system cannot open the device or file specified.",
     u"Error en la apertura."},
    {ERROR_DISK_FULL, u"There is not enough space on the disk.", u"Disco lleno."},
    {ERROR_CALL_NOT_IMPLEMENTED,
     u"This function is not supported on this system.",
     u"Llamada no implementada."},
    {ERROR_INSUFFICIENT_BUFFER,
     u"The data area passed to a system call is too small.",
     u"Búfer insuficiente."},
    {ERROR_INVALID_NAME,
     u"The filename, directory name, or volume label syntax is incorrect.",
     u"Nombre inválido."},
    {ERROR_MOD_NOT_FOUND, u"The specified module could not be found.", u"Módulo no encontrado."},
    {ERROR_PROC_NOT_FOUND,
     u"The specified procedure could not be found.",
     u"Procedimiento no encontrado."},
    {ERROR_DIR_NOT_EMPTY, u"The directory is not empty.", u"El directorio no esta vacío."},
    {ERROR_BUSY, u"The requested resource is in use.", u"Recurso en uso."},
    {ERROR_ALREADY_EXISTS,
     u"Cannot create a file when that file already exists.",
     u"El archivo existe."},
    {ERROR_BAD_EXE_FORMAT, u"The file is not a valid Win32 application.", u"Formato EXE erróneo."},
    {ERROR_FILENAME_EXCED_RANGE,
     u"The filename or extension is too long.",
     u"El nombre de archivo es demasiado largo."},
    {ERROR_NO_DATA, u"The pipe is being closed.", u"Tubería cerrada."},
    {ERROR_MR_MID_NOT_FOUND,
     u"The system cannot find message text for the message number in the message file.",
     u"El mensaje no pudo encontrarse en el fichero."},
    {ERROR_INVALID_FLAGS, u"Invalid flags.", u"Indicadores inválidos."},
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
