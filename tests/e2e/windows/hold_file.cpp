// Runs a program while a file is held open the way a running program holds its
// own executable: others may read the file, no one may write it.
//
//   hold_file.exe <file> <program> [argument...]
//
// The program gets this tool's standard handles and the arguments, each
// quoted when it holds a blank; the file is let go once the program has
// ended, and the tool ends with the program's exit code (250 when the file
// can't be opened or the program can't be started, with the reason on
// standard error).
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kHoldFailed = 250;

void Fail(const char* what) {
  const DWORD code = GetLastError();
  char text[160];
  const int length = wsprintfA(text, "hold_file: %s (error %lu)\r\n", what, code);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
  ExitProcess(kHoldFailed);
}

HANDLE Inheritable(DWORD standardHandle) {
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), GetStdHandle(standardHandle), GetCurrentProcess(),
                       &copy, 0, TRUE, DUPLICATE_SAME_ACCESS)) {
    return INVALID_HANDLE_VALUE;
  }
  return copy;
}

std::wstring Quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t") == std::wstring::npos) return argument;
  return L"\"" + argument + L"\"";
}

}  // namespace

int main() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count < 3) {
    SetLastError(ERROR_INVALID_PARAMETER);
    Fail("usage: hold_file.exe <file> <program> [argument...]");
  }
  HANDLE held = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held == INVALID_HANDLE_VALUE) Fail("cannot open the file to hold");

  const std::wstring program = argv[2];
  std::wstring commandLine = Quoted(program);
  for (int k = 3; k < count; ++k) commandLine += L" " + Quoted(argv[k]);
  LocalFree(argv);

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = Inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = Inheritable(STD_ERROR_HANDLE);
  // CreateProcessW may write into the command line: give it a copy it owns.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    Fail("CreateProcessW failed");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = kHoldFailed;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(held);
  ExitProcess(exitCode);
}
