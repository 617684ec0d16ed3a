#include "app/run_driver.h"

#include "app/system_log.h"
#include "app/update.h"
#include "console/command_line.h"
#include "console/console_stream.h"
#include "console/exceptions.h"
#include "console/process_end.h"

namespace {

constexpr char16_t kBanner[] = u"ZARVEK RUD: SERVICIO DE ACTUALIZACIÓN DE PROGRAMAS VERSIÓN 12.6";
constexpr size_t kProgramCodeLength = 8;
constexpr char16_t kProgramExtension[] = u".exe";
// Programs of this module live in the common folder.
constexpr char16_t kCommonModule[] = u"GN";
constexpr char16_t kCommonFolder[] = u"Ggen\\bin\\";
constexpr char16_t kModuleFolderPrefix[] = u"Garh\\";
constexpr char16_t kModuleFolderSuffix[] = u"\\bin\\";

bool IsBlankOrControl(char16_t c) { return c <= 32; }

// A program code names one file in one module folder. A code with a path
// separator, a drive colon or a parent step would make the paths formed from
// it leave the install root (or the server's folder): it names no program of
// the suite.
bool IsPathLike(const Text& code) {
  return code.find_first_of(u"\\/:") != Text::npos || code.find(u"..") != Text::npos;
}

}  // namespace

Text Trim(TextView text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && IsBlankOrControl(text[first])) ++first;
  while (last > first && IsBlankOrControl(text[last - 1])) --last;
  return Text(text.substr(first, last - first));
}

Text UpperCase(TextView text) {
  Text upper(text);
  for (char16_t& c : upper) {
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  }
  return upper;
}

InstallPaths DeriveInstallPaths(TextView serverArgument, TextView programArgument) {
  InstallPaths paths;
  paths.ServerPath = Trim(serverArgument);
  paths.ProgramFile = Trim(programArgument);
  if (paths.ServerPath.empty()) throw Exception(u"Error en la ruta de actualización.");
  // Only a backslash counts as the closing separator: x/ gets one too.
  if (paths.ServerPath.back() != u'\\') paths.ServerPath += u'\\';
  if (paths.ProgramFile.empty() || IsPathLike(paths.ProgramFile)) {
    throw Exception(u"Error en el código de programa.");
  }

  // A code already ending in ".exe" is not recognised: abc.exe becomes abc.exe.exe.
  paths.ProgramFile = paths.ProgramFile.substr(0, kProgramCodeLength) + kProgramExtension;
  // Characters 2 and 3, taken after the extension is on: "A" gives ".e".
  paths.ModuleCode = paths.ProgramFile.substr(1, 2);
  // "A." passes the test above, but its module folder would be "..".
  if (paths.ModuleCode == u"..") throw Exception(u"Error en el código de programa.");
  if (UpperCase(paths.ModuleCode) == kCommonModule) {
    paths.ProgramFolder = kCommonFolder;
  } else {
    paths.ProgramFolder = kModuleFolderPrefix + paths.ModuleCode + kModuleFolderSuffix;
  }
  return paths;
}

void RunDriver() {
  try {
    WriteLine({kBanner});
    InstallPaths paths = DeriveInstallPaths(GetArgument(1), GetArgument(2));
    // The progress lines show the arguments as typed, fetched again.
    WriteLine({u"Servidor de actualizaciones: ", GetArgument(1)});
    WriteLine({u"Programa Seleccionado: ", GetArgument(2)});
    WriteLine({u"Ruta del archivo: ", paths.ProgramFolder});
    RunUpdate(paths);
  } catch (const Exception& error) {
    WriteLine({error.ClassName(), u": ", error.Message});
    // Recorded as shown: a report that could not be written escapes, and the
    // report on standard error is recorded instead.
    LogFailure(error);
    ExitCode = 1;
    SkipLine();  // the user presses Enter
  }
}
