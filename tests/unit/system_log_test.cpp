// The records' texts: each event ID formatted with its inserts, as the Event
// Viewer formats an event from rud.exe's table (windmc's) and as the POSIX
// layer formats its syslog line; and the inserts' own form.
#include "app/system_log.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32.h"
#include "support/file_time.h"

namespace {

// Where the tables are: on Windows the rud.exe of this build loaded as data,
// as the Event Viewer loads a source's message file, and the shipped i686
// rud.exe too when RUD_I686_EXE names it (data has no architecture: a 64-bit
// run reads the 32-bit program's table); on POSIX the program's own.
std::vector<std::string> MessageFiles() {
#ifdef _WIN32
  std::vector<std::string> files = {RUD_EXE_PATH};
  if (const char* shipped = std::getenv("RUD_I686_EXE"); shipped != nullptr && *shipped != '\0') {
    files.push_back(shipped);
  }
  return files;
#else
  return {""};
#endif
}

HMODULE MessageModule(const std::string& file) {
#ifdef _WIN32
  std::wstring path = L"Z:";
  for (char c : file) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
#else
  (void)file;
  return nullptr;
#endif
}

Text Formatted(HMODULE module, DWORD eventId, const std::vector<Text>& inserts) {
  // An argument array: one pointer-sized value per insert.
  std::vector<uintptr_t> arguments;
  for (const Text& insert : inserts) arguments.push_back(reinterpret_cast<uintptr_t>(W(insert)));
  WCHAR* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER, module,
      eventId, 0, reinterpret_cast<WCHAR*>(&buffer), 0, reinterpret_cast<va_list*>(arguments.data()));
  Text text = length > 0 ? Text(U(buffer), length) : u"error " + DecimalText(GetLastError());
  LocalFree(buffer);
  return text;
}

TEST(SystemLog, EachEventIdHasItsSpanishTextWithTheInsertsInOrder) {
  for (const std::string& file : MessageFiles()) {
    SCOPED_TRACE(file);
    const HMODULE module = MessageModule(file);
#ifdef _WIN32
    ASSERT_NE(module, nullptr) << "rud.exe can't be loaded as data: " << GetLastError();
#endif
    const Text copy = u"\\\\srv\\upd\\Garh\\NM\\bin\\XNMPAYRO.exe";
    // A percent sign in an insert is text: nothing is filled in twice.
    EXPECT_EQ(Formatted(module, MSG_INSTALLED,
                        {u"XNMPAYRO", copy, u"12.6.0.4 %1", u"2025-11-12T21:07:04Z", u"12.6.0.3",
                         u"2025-03-04T12:26:53Z"}),
              u"Programa «XNMPAYRO» actualizado desde «\\\\srv\\upd\\Garh\\NM\\bin\\XNMPAYRO.exe». Nueva "
              u"versión: 12.6.0.4 %1 (2025-11-12T21:07:04Z). Antigua versión: 12.6.0.3 (2025-03-04T12:26:53Z).");
    EXPECT_EQ(Formatted(module, MSG_FAILED,
                        {u"XNMPAYRO", u"\\\\srv\\upd", u"Exception: Error al intentar copiar el archivo: Acceso denegado"}),
              u"Falló la actualización del programa «XNMPAYRO» desde «\\\\srv\\upd»: Exception: Error al intentar "
              u"copiar el archivo: Acceso denegado");
    EXPECT_EQ(Formatted(module, MSG_SERVER_COPY_MISSING, {u"xnmpayro", copy}),
              u"Programa «xnmpayro»: no se encontró la copia del servidor «\\\\srv\\upd\\Garh\\NM\\bin\\XNMPAYRO.exe»; "
              u"sigue la copia local.");
#ifdef _WIN32
    FreeLibrary(module);
#endif
  }
}

TEST(SystemLog, AnInsertIsShownAsTheConsoleShowsItAndCutWithinItsRoom) {
  EXPECT_EQ(LogField(u"1.0\r\n\x1B[8m\u202E", kVersionRoom), u"1.0???[8m?");
  const Text longText(300, u'x');
  EXPECT_EQ(LogField(longText, kVersionRoom), Text(kVersionRoom - 1, u'x') + u"…");
  EXPECT_EQ(LogField(longText.substr(0, kVersionRoom), kVersionRoom), longText.substr(0, kVersionRoom));
  // A character beyond the 16-bit range stays whole: it is cut out entire.
  const Text pairAtTheCut = Text(kVersionRoom - 2, u'x') + u"\U0001F600yy";
  EXPECT_EQ(LogField(pairAtTheCut, kVersionRoom), Text(kVersionRoom - 2, u'x') + u"…");
  // A last-write time is UTC to the second: 2025-11-12 21:07:04.9999999.
  const uint64_t ticks = 134074552240000000ull + 9'999'999;
  EXPECT_EQ(UtcTimeText(FileTimeOfTicks(ticks)),
            u"2025-11-12T21:07:04Z");
}

}  // namespace
