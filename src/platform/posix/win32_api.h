// The Win32 subset that rud's core calls, declared for POSIX hosts. Types and
// constants carry their Windows values and layouts; the functions are
// implemented in this folder, one file per area, each going through the one
// errno table (win_error.h) for its last-error codes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK

typedef int BOOL;
typedef unsigned char BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef unsigned short USHORT;
typedef int INT;
typedef char CHAR;
typedef char16_t WCHAR;
typedef uint32_t LCID;
typedef uint32_t LCTYPE;
typedef uint16_t LANGID;
typedef int32_t NTSTATUS;
typedef void* HANDLE;
typedef void* HLOCAL;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef DWORD* LPDWORD;
typedef BOOL* LPBOOL;
typedef UINT* PUINT;
typedef ULONG* PULONG;
typedef LONG* PLONG;
typedef CHAR* LPSTR;
typedef const CHAR* LPCSTR;
typedef const CHAR* LPCCH;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* LPCWCH;
typedef struct ModuleTag* HMODULE;
typedef HMODULE HINSTANCE;
typedef intptr_t (*FARPROC)();
typedef intptr_t INT_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t SIZE_T;
typedef void* PSID;

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260

#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))
#define INVALID_FILE_ATTRIBUTES (static_cast<DWORD>(-1))
#define INVALID_FILE_SIZE (static_cast<DWORD>(0xFFFFFFFF))

// The error codes, by their Windows names and values: every code that the
// core names or that this layer sets. Each has a system text
// (text/system_messages.cpp); kErrorCodes lists them for a check of that.
#define RUD_ERROR_CODES(X) \
  X(ERROR_SUCCESS, 0) \
  X(ERROR_FILE_NOT_FOUND, 2) \
  X(ERROR_PATH_NOT_FOUND, 3) \
  X(ERROR_TOO_MANY_OPEN_FILES, 4) \
  X(ERROR_ACCESS_DENIED, 5) \
  X(ERROR_INVALID_HANDLE, 6) \
  X(ERROR_NOT_ENOUGH_MEMORY, 8) \
  X(ERROR_BAD_FORMAT, 11) \
  X(ERROR_OUTOFMEMORY, 14) \
  X(ERROR_INVALID_DRIVE, 15) \
  X(ERROR_NOT_SAME_DEVICE, 17) \
  X(ERROR_WRITE_PROTECT, 19) \
  X(ERROR_NOT_READY, 21) \
  X(ERROR_WRITE_FAULT, 29) \
  X(ERROR_READ_FAULT, 30) \
  X(ERROR_GEN_FAILURE, 31) \
  X(ERROR_SHARING_VIOLATION, 32) \
  X(ERROR_LOCK_VIOLATION, 33) \
  X(ERROR_HANDLE_EOF, 38) \
  X(ERROR_NOT_SUPPORTED, 50) \
  X(ERROR_BAD_NETPATH, 53) \
  X(ERROR_FILE_EXISTS, 80) \
  X(ERROR_INVALID_PARAMETER, 87) \
  X(ERROR_BROKEN_PIPE, 109) \
  X(ERROR_OPEN_FAILED, 110) \
  X(ERROR_DISK_FULL, 112) \
  X(ERROR_CALL_NOT_IMPLEMENTED, 120) \
  X(ERROR_INSUFFICIENT_BUFFER, 122) \
  X(ERROR_INVALID_NAME, 123) \
  X(ERROR_MOD_NOT_FOUND, 126) \
  X(ERROR_PROC_NOT_FOUND, 127) \
  X(ERROR_DIR_NOT_EMPTY, 145) \
  X(ERROR_BUSY, 170) \
  X(ERROR_ALREADY_EXISTS, 183) \
  X(ERROR_BAD_EXE_FORMAT, 193) \
  X(ERROR_FILENAME_EXCED_RANGE, 206) \
  X(ERROR_NO_DATA, 232) \
  X(ERROR_MR_MID_NOT_FOUND, 317) \
  X(ERROR_INVALID_FLAGS, 1004) \
  X(ERROR_RESOURCE_DATA_NOT_FOUND, 1812) \
  X(ERROR_RESOURCE_TYPE_NOT_FOUND, 1813) \
  X(ERROR_RESOURCE_NAME_NOT_FOUND, 1814) \
  X(ERROR_RESOURCE_LANG_NOT_FOUND, 1815) \
  X(ERROR_CANT_RESOLVE_FILENAME, 1921)
#define RUD_ERROR_CONSTANT(name, value) constexpr DWORD name = value;
RUD_ERROR_CODES(RUD_ERROR_CONSTANT)
#undef RUD_ERROR_CONSTANT
#define RUD_ERROR_ENTRY(name, value) name,
namespace posix {
inline constexpr DWORD kErrorCodes[] = {RUD_ERROR_CODES(RUD_ERROR_ENTRY)};
}  // namespace posix
#undef RUD_ERROR_ENTRY

// Files.
#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_DEVICE 0x00000040
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_FLAG_BACKUP_SEMANTICS 0x02000000
#define FILE_FLAG_OPEN_REPARSE_POINT 0x00200000

#define FILE_TYPE_UNKNOWN 0x0000
#define FILE_TYPE_DISK 0x0001
#define FILE_TYPE_CHAR 0x0002
#define FILE_TYPE_PIPE 0x0003

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2
#define INVALID_SET_FILE_POINTER (static_cast<DWORD>(0xFFFFFFFF))

#define STD_INPUT_HANDLE (static_cast<DWORD>(-10))
#define STD_OUTPUT_HANDLE (static_cast<DWORD>(-11))
#define STD_ERROR_HANDLE (static_cast<DWORD>(-12))

#define VOLUME_NAME_DOS 0x0
#define VOLUME_NAME_NT 0x2
#define FILE_NAME_NORMALIZED 0x0
#define FILE_SUPPORTS_REPARSE_POINTS 0x00000080
#define FILE_CASE_PRESERVED_NAMES 0x00000002
#define FILE_UNICODE_ON_DISK 0x00000004

#define PAGE_READONLY 0x02
#define FILE_MAP_READ 0x0004

// Code pages and conversion.
#define CP_ACP 0
#define CP_OEMCP 1
#define CP_UTF8 65001

// Messages.
#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000

// Event types (the system's log).
#define EVENTLOG_SUCCESS 0x0000
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004

// Locales.
#define LOCALE_USER_DEFAULT 0x0400
#define LOCALE_SYSTEM_DEFAULT 0x0800
#define LANG_NEUTRAL 0x00
#define LANG_CHINESE 0x04
#define LANG_ENGLISH 0x09
#define LANG_JAPANESE 0x11
#define LANG_KOREAN 0x12
#define LANG_SPANISH 0x0a
#define LOCALE_SDATE 0x0000001D
#define LOCALE_STIME 0x0000001E
#define LOCALE_SSHORTDATE 0x0000001F
#define LOCALE_SLONGDATE 0x00000020
#define LOCALE_STIMEFORMAT 0x00001003
#define LOCALE_ITIME 0x00000023
#define LOCALE_ITLZERO 0x00000025
#define LOCALE_ICALENDARTYPE 0x00001009
#define LOCALE_ITIMEMARKPOSN 0x00001005
#define LOCALE_S1159 0x00000028
#define LOCALE_S2359 0x00000029
#define LOCALE_SDAYNAME1 0x0000002A
#define LOCALE_SDAYNAME7 0x00000030
#define LOCALE_SABBREVDAYNAME1 0x00000031
#define LOCALE_SABBREVDAYNAME7 0x00000037
#define LOCALE_SMONTHNAME1 0x00000038
#define LOCALE_SABBREVMONTHNAME1 0x00000044
#define LOCALE_IDEFAULTANSICODEPAGE 0x00001004
#define LOCALE_IDEFAULTCODEPAGE 0x0000000B
#define DATE_SHORTDATE 0x00000001
#define DATE_USE_ALT_CALENDAR 0x00000004

// Exceptions (the last-chance filter's answers).
#define EXCEPTION_EXECUTE_HANDLER 1
#define EXCEPTION_CONTINUE_SEARCH 0

// Modules.
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME* LPFILETIME;

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
typedef SYSTEMTIME* LPSYSTEMTIME;

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};

struct WIN32_FIND_DATAW {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  WCHAR cFileName[MAX_PATH];
  WCHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAW* LPWIN32_FIND_DATAW;

enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard, GetFileExMaxInfoLevel };

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES* LPSECURITY_ATTRIBUTES;
struct OVERLAPPED;
typedef OVERLAPPED* LPOVERLAPPED;

struct OSVERSIONINFOW {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  WCHAR szCSDVersion[128];
};
typedef OSVERSIONINFOW* LPOSVERSIONINFOW;

// Errors.
DWORD GetLastError();
void SetLastError(DWORD code);

// Process.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleName, HMODULE* module);
[[noreturn]] void ExitProcess(UINT exitCode);

// Console streams.
HANDLE GetStdHandle(DWORD stdHandle);
DWORD GetFileType(HANDLE file);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten,
               LPOVERLAPPED overlapped);
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead,
              LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
BOOL CloseHandle(HANDLE object);

// Code pages.
UINT GetACP();
UINT GetOEMCP();
UINT GetConsoleOutputCP();
UINT GetConsoleCP();
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWCH wideText, int wideLength,
                        LPSTR multiByteText, int multiByteSize, LPCCH defaultChar,
                        LPBOOL usedDefaultChar);

// Locale.
LCID GetThreadLocale();
BOOL SetThreadLocale(LCID locale);
int GetLocaleInfoW(LCID locale, LCTYPE type, LPWSTR data, int size);
int GetDateFormatW(LCID locale, DWORD flags, const SYSTEMTIME* date, LPCWSTR format,
                   LPWSTR dateText, int size);

// Version resources and system texts.
DWORD GetFileVersionInfoSizeW(LPCWSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR fileName, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId,
                     LPWSTR buffer, DWORD size, va_list* arguments);
HLOCAL LocalFree(HLOCAL memory);

// File facts.
BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info);
DWORD GetFileAttributesW(LPCWSTR fileName);
BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes);
HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData);
BOOL FindClose(HANDLE find);
HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode,
                   LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD flags,
                   HANDLE templateFile);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
HANDLE CreateFileMappingW(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect,
                          DWORD maxSizeHigh, DWORD maxSizeLow, LPCWSTR name);
LPVOID MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                     SIZE_T bytes);
BOOL UnmapViewOfFile(LPCVOID view);
HANDLE GetCurrentProcess();
BOOL GetVolumeInformationW(LPCWSTR rootPath, LPWSTR volumeName, DWORD volumeNameSize,
                           LPDWORD serialNumber, LPDWORD maxComponentLength,
                           LPDWORD fileSystemFlags, LPWSTR fileSystemName,
                           DWORD fileSystemNameSize);
DWORD GetLogicalDriveStringsW(DWORD size, LPWSTR buffer);
DWORD QueryDosDeviceW(LPCWSTR deviceName, LPWSTR targetPath, DWORD size);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
HMODULE LoadLibraryW(LPCWSTR fileName);
HMODULE GetModuleHandleW(LPCWSTR moduleName);
FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
BOOL GetVersionExW(LPOSVERSIONINFOW info);

// The system's log (process/event_log.cpp: syslog through /dev/log).
HANDLE RegisterEventSourceW(LPCWSTR serverName, LPCWSTR sourceName);
BOOL ReportEventW(HANDLE eventLog, WORD type, WORD category, DWORD eventId, PSID userSid,
                  WORD numStrings, DWORD dataSize, LPCWSTR* strings, LPVOID rawData);
BOOL DeregisterEventSource(HANDLE eventLog);

// Folders and copying.
BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists);
