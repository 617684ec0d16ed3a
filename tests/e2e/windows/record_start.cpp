// A stand-in for a program of the suite: records how it was started and ends.
// The file named by ZARVEK_RECORD receives, in UTF-8, one line each: the
// program's own path (GetModuleFileNameW), then every argument after the
// program's name as the usual splitting gives it.
// Exit code: 0, or 2 when the record can't be written.
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(size) - 1);
  return bytes;
}

}  // namespace

int main() {
  wchar_t recordPath[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"ZARVEK_RECORD", recordPath, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 2;

  wchar_t self[MAX_PATH];
  if (GetModuleFileNameW(nullptr, self, MAX_PATH) == 0) return 2;
  std::string record = Utf8(self) + "\n";
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return 2;
  for (int k = 1; k < count; ++k) record += Utf8(argv[k]) + "\n";
  LocalFree(argv);

  HANDLE file = CreateFileW(recordPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == record.size() ? 0 : 2;
}
