// Writes the system's message text for an error code, as FormatMessageW gives
// it (from the system, inserts ignored, the system's language), in UTF-8 to a
// file, untouched.
//
//   system_text.exe <code> <output-file>
//
// Exit code: 0, or 2 on bad arguments or a file that can't be written. A code
// without text gives an empty file.
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

int main() {
  int count = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr || count != 3) return 2;
  const DWORD code = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));

  LPWSTR text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  std::string bytes;
  if (length > 0 && text != nullptr) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    bytes.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), bytes.data(), size, nullptr,
                        nullptr);
  }
  if (text != nullptr) LocalFree(text);

  HANDLE file = CreateFileW(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  LocalFree(argv);
  if (file == INVALID_HANDLE_VALUE) return 2;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size() ? 0 : 2;
}
