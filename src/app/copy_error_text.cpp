#include "app/copy_error_text.h"

namespace {

struct CopyFailure {
  int32_t code;
  const char16_t* text;
};

// The reasons an administrator is told in Spanish, by last-error code. The
// texts are the suite's own, capitals and "Disco erroneo" included.
constexpr CopyFailure kCopyFailures[] = {
    {2, u"Archivo no encontrado"},                      // ERROR_FILE_NOT_FOUND
    {3, u"Ruta no encontrada"},                         // ERROR_PATH_NOT_FOUND
    {4, u"Muchos archivos abiertos"},                   // ERROR_TOO_MANY_OPEN_FILES
    {5, u"Acceso denegado"},                            // ERROR_ACCESS_DENIED
    {14, u"Sistema sin memoria"},                       // ERROR_OUTOFMEMORY
    {15, u"Unidad no válida"},                          // ERROR_INVALID_DRIVE
    {19, u"Protegido contra escritura"},                // ERROR_WRITE_PROTECT
    {29, u"Error al escribir"},                         // ERROR_WRITE_FAULT
    {30, u"Error al leer"},                             // ERROR_READ_FAULT
    {32, u"Violación al compartir o archivo en uso"},   // ERROR_SHARING_VIOLATION
    {33, u"Violación de seguro"},                       // ERROR_LOCK_VIOLATION
    {34, u"Disco erroneo"},                             // ERROR_WRONG_DISK
    {54, u"Red Ocupada"},                               // ERROR_NETWORK_BUSY
    {55, u"Unidad no existe"},                          // ERROR_DEV_NOT_EXIST
    {65, u"Acceso a red denegado"},                     // ERROR_NETWORK_ACCESS_DENIED
    {110, u"Error al abrir"},                           // ERROR_OPEN_FAILED
    {112, u"Disco Lleno"},                              // ERROR_DISK_FULL
};

}  // namespace

Text CopyErrorText(int32_t code) {
  for (const CopyFailure& failure : kCopyFailures) {
    if (failure.code == code) return failure.text;
  }
  // Any other code, 0 included, is shown as a number, signed and glued on.
  return u"Error al Copiar" + DecimalText(code);
}
