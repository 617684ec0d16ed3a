// Starts a program with an exact command line and chosen standard handles,
// waits for it and ends with its exit code. Wine rebuilds a command line from
// argv and never hands a program an unusable standard handle; this launcher,
// run under Wine, can do both.
//
//   rud_launch.exe --app=<hex> --cmd=<hex> [--stdin=<how>] [--stdout=<how>] [--stderr=<how>]
//
// <hex> is UTF-16 code units, four hexadecimal digits each, so any text
// passes unchanged whatever Wine does to the launcher's own command line.
// <how> is one of:
//   inherit  the launcher's own handle (the default)
//   invalid  INVALID_HANDLE_VALUE
//   broken   a pipe whose other end is already closed: reading gives
//            ERROR_BROKEN_PIPE, writing fails
//   nul      the NUL device
#include <windows.h>

#include <string>
#include <vector>

namespace {

constexpr UINT kLaunchFailed = 250;

void Fail(const char* what) {
  DWORD code = GetLastError();
  char text[160];
  int length = wsprintfA(text, "rud_launch: %s (error %lu)\r\n", what, code);
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &written, nullptr);
  ExitProcess(kLaunchFailed);
}

int HexDigit(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

std::wstring FromHex(const std::wstring& hex) {
  std::wstring text;
  for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
    unsigned unit = 0;
    for (size_t k = 0; k < 4; ++k) {
      int digit = HexDigit(hex[i + k]);
      if (digit < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        Fail("bad hexadecimal text");
      }
      unit = unit * 16 + static_cast<unsigned>(digit);
    }
    text += static_cast<wchar_t>(unit);
  }
  return text;
}

// The launcher's own options: blank-separated tokens beginning with "--".
std::wstring Option(const std::wstring& commandLine, const std::wstring& name,
                    const std::wstring& fallback) {
  std::wstring key = L" --" + name + L"=";
  size_t at = commandLine.find(key);
  if (at == std::wstring::npos) return fallback;
  size_t start = at + key.size();
  size_t end = commandLine.find_first_of(L" \t", start);
  return commandLine.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

HANDLE Inheritable(HANDLE handle) {
  HANDLE copy = INVALID_HANDLE_VALUE;
  if (!DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return INVALID_HANDLE_VALUE;
  }
  return copy;
}

HANDLE ChildHandle(const std::wstring& how, DWORD standardHandle, bool forReading) {
  if (how == L"invalid") return INVALID_HANDLE_VALUE;
  if (how == L"inherit") return Inheritable(GetStdHandle(standardHandle));
  if (how == L"nul") {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             &inherit, OPEN_EXISTING, 0, nullptr);
    if (nul == INVALID_HANDLE_VALUE) Fail("cannot open NUL");
    return nul;
  }
  if (how == L"broken") {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) Fail("cannot create a pipe");
    // The child gets one end; the other is closed before it starts.
    if (forReading) {
      CloseHandle(writeEnd);
      return readEnd;
    }
    CloseHandle(readEnd);
    return writeEnd;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  Fail("unknown handle kind");
  return INVALID_HANDLE_VALUE;
}

}  // namespace

int main() {
  std::wstring own = GetCommandLineW();
  std::wstring application = FromHex(Option(own, L"app", L""));
  std::wstring commandLine = FromHex(Option(own, L"cmd", L""));
  if (application.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    Fail("no --app given");
  }

  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ChildHandle(Option(own, L"stdin", L"inherit"), STD_INPUT_HANDLE, true);
  startup.hStdOutput = ChildHandle(Option(own, L"stdout", L"inherit"), STD_OUTPUT_HANDLE, false);
  startup.hStdError = ChildHandle(Option(own, L"stderr", L"inherit"), STD_ERROR_HANDLE, false);

  // CreateProcessW may write into the command line: give it a copy it owns.
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                      nullptr, &startup, &process)) {
    Fail("CreateProcessW failed");
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = kLaunchFailed;
  GetExitCodeProcess(process.hProcess, &exitCode);
  ExitProcess(exitCode);
}
