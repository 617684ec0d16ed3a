// The device-path route emulated over the host: drives and their device
// names, the final path of a handle, the name of a mapped view and of a
// kernel object, and the library entry points that serve them; then the
// link handling that runs on it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "console/exceptions.h"
#include "fileinfo/device_path.h"
#include "fileinfo/folders.h"
#include "fileinfo/time_stamps.h"
#include "platform/win32.h"
#include "unit/posix/scoped_environment.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using MappedFileNameFunction = DWORD (*)(HANDLE, LPVOID, LPWSTR, DWORD);
using QueryObjectFunction = NTSTATUS (*)(HANDLE, ULONG, LPVOID, ULONG, PULONG);

template <class Function>
Function EntryPoint(const char16_t* library, const char* name) {
  HMODULE module = LoadLibraryW(library);
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// The device path of a host folder: \Device\Host and the path.
std::u16string DeviceOf(const fs::path& path) {
  std::u16string text = fs::canonical(path).u16string();
  for (char16_t& unit : text) {
    if (unit == u'/') unit = u'\\';
  }
  return u"\\Device\\Host" + text;
}

// Drive Q is a temporary folder holding a 5-byte file and an empty one.
class DeviceRouteTest : public testing::Test {
 protected:
  DeviceRouteTest() {
    for (char letter = 'A'; letter <= 'Z'; ++letter) env_.Unset(std::string("RUD_DRIVE_") + letter);
    env_.Set("RUD_DRIVE_Q", temp_.Path().string());
    temp_.WriteFile("file.bin", "12345");
    temp_.WriteFile("empty.bin", "");
    RecordOperatingSystemVersion();
  }

  HANDLE Open(const char16_t* path) {
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  }

  TempFolder temp_;
  ScopedEnvironment env_;
};

}  // namespace

TEST_F(DeviceRouteTest, DrivesInLetterOrder) {
  env_.Set("RUD_DRIVE_B", temp_.Path().string());
  WCHAR list[MAX_PATH];
  std::u16string expected(u"B:\\\0C:\\\0Q:\\\0Z:\\\0", 16);
  ASSERT_EQ(GetLogicalDriveStringsW(MAX_PATH, list), expected.size());
  EXPECT_EQ(std::u16string(list, expected.size() + 1), expected + u'\0');
  // Too small a buffer: the size it needs.
  EXPECT_EQ(GetLogicalDriveStringsW(4, list), expected.size() + 1);
  env_.Set("RUD_DRIVE_C", "");
  ASSERT_EQ(GetLogicalDriveStringsW(MAX_PATH, list), 12u);
}

TEST_F(DeviceRouteTest, DriveDeviceNames) {
  WCHAR device[MAX_PATH];
  ASSERT_EQ(QueryDosDeviceW(u"Z:", device, MAX_PATH), 14u);  // the name and two NULs
  EXPECT_EQ(std::u16string(device), u"\\Device\\Host");
  ASSERT_GT(QueryDosDeviceW(u"C:", device, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(device), DeviceOf("/opt"));
  ASSERT_GT(QueryDosDeviceW(u"q:", device, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(device), DeviceOf(temp_.Path()));
  EXPECT_EQ(QueryDosDeviceW(u"Y:", device, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(QueryDosDeviceW(u"Z:", device, 13), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(DeviceRouteTest, FinalPathOfAHandleThroughALink) {
  fs::create_symlink(temp_ / "file.bin", temp_ / "link");
  HANDLE file = Open(u"Q:\\LINK");
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  std::u16string expected = DeviceOf(temp_ / "file.bin");
  WCHAR name[MAX_PATH];
  EXPECT_EQ(GetFinalPathNameByHandleW(file, name, MAX_PATH, VOLUME_NAME_NT), expected.size());
  EXPECT_EQ(std::u16string(name), expected);
  EXPECT_EQ(GetFinalPathNameByHandleW(file, name, 5, VOLUME_NAME_NT), expected.size() + 1);
  CloseHandle(file);
}

TEST_F(DeviceRouteTest, NameOfAMappedView) {
  auto mappedFileName = EntryPoint<MappedFileNameFunction>(u"PSAPI.dll", "GetMappedFileNameW");
  ASSERT_NE(mappedFileName, nullptr);
  HANDLE empty = Open(u"Q:\\empty.bin");
  EXPECT_EQ(CreateFileMappingW(empty, nullptr, PAGE_READONLY, 0, 1, nullptr), nullptr);
  CloseHandle(empty);
  HANDLE file = Open(u"Q:\\file.bin");
  HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 1, nullptr);
  ASSERT_NE(mapping, nullptr);
  LPVOID view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(*static_cast<const char*>(view), '1');
  WCHAR name[MAX_PATH];
  ASSERT_GT(mappedFileName(GetCurrentProcess(), view, name, MAX_PATH), 0u);
  EXPECT_EQ(std::u16string(name), DeviceOf(temp_ / "file.bin"));
  int elsewhere = 0;
  EXPECT_EQ(mappedFileName(GetCurrentProcess(), &elsewhere, name, MAX_PATH), 0u);
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_EQ(mappedFileName(GetCurrentProcess(), view, name, MAX_PATH), 0u);
  EXPECT_TRUE(CloseHandle(mapping));
  CloseHandle(file);
}

TEST_F(DeviceRouteTest, ObjectNameAsACountedString) {
  struct CountedString {
    USHORT Length;
    USHORT MaximumLength;
    WCHAR* Buffer;
  };
  auto queryObject = EntryPoint<QueryObjectFunction>(u"ntdll", "NtQueryObject");
  ASSERT_NE(queryObject, nullptr);
  HANDLE file = Open(u"Q:\\file.bin");
  std::u16string expected = DeviceOf(temp_ / "file.bin");
  ULONG needed = 0;
  EXPECT_EQ(queryObject(file, 1, nullptr, 0, &needed), static_cast<NTSTATUS>(0xC0000004));
  EXPECT_EQ(needed, sizeof(CountedString) + (expected.size() + 1) * 2);
  std::vector<CountedString> buffer(needed / sizeof(CountedString) + 1);
  ASSERT_EQ(queryObject(file, 1, buffer.data(), needed, &needed), 0);
  EXPECT_EQ(buffer[0].Length, expected.size() * 2);
  EXPECT_EQ(buffer[0].Buffer, reinterpret_cast<WCHAR*>(&buffer[1]));
  EXPECT_EQ(std::u16string(buffer[0].Buffer), expected);
  EXPECT_NE(queryObject(file, 2, buffer.data(), needed, &needed), 0);  // another class
  CloseHandle(file);
  EXPECT_NE(queryObject(nullptr, 1, buffer.data(), needed, &needed), 0);
}

TEST_F(DeviceRouteTest, OnlyTheTwoEntryPointsAreServed) {
  EXPECT_EQ(GetModuleHandleW(u"kernel32.dll"), nullptr);
  EXPECT_EQ(LoadLibraryW(u"version.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  HMODULE ntdll = GetModuleHandleW(u"NTDLL.DLL");
  ASSERT_NE(ntdll, nullptr);
  EXPECT_EQ(GetProcAddress(ntdll, "NtClose"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(GetProcAddress(ntdll, "GetMappedFileNameW"), nullptr);
}

TEST_F(DeviceRouteTest, VolumesHoldingLinks) {
  DWORD flags = 0;
  WCHAR fileSystem[MAX_PATH];
  ASSERT_TRUE(
      GetVolumeInformationW(u"Q:\\", nullptr, 0, nullptr, nullptr, &flags, fileSystem, MAX_PATH));
  // Every file system a test folder lands on keeps symbolic links.
  EXPECT_NE(flags & FILE_SUPPORTS_REPARSE_POINTS, 0u);
  EXPECT_FALSE(GetVolumeInformationW(u"Y:\\", nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(DeviceRouteTest, OpenFileIsNamedByEachRoute) {
  // Mapped view, kernel object, final path: each names the file on a drive.
  HANDLE file = Open(u"Q:\\file.bin");
  Text mapped;
  ASSERT_TRUE(NameOfOpenFile(file, mapped));
  Text byObject = DevicePathToDrivePath(ObjectNameOfHandle(file));
  CloseHandle(file);
  HANDLE empty = Open(u"Q:\\empty.bin");
  Text byFinalPath;
  ASSERT_TRUE(NameOfOpenFile(empty, byFinalPath));
  CloseHandle(empty);
  // Drive Q (the folder itself) comes before Z (the host root) and wins.
  EXPECT_EQ(mapped, u"Q:\\file.bin");
  EXPECT_EQ(byObject, mapped);
  EXPECT_EQ(byFinalPath, u"Q:\\empty.bin");
}

TEST_F(DeviceRouteTest, LinkFollowedToAnotherDrive) {
  // Without C and Z the target is named on the drive that holds it: P.
  TempFolder other;
  other.WriteFile("target.bin", "1234567");
  env_.Set("RUD_DRIVE_C", "");
  env_.Set("RUD_DRIVE_Z", "");
  env_.Set("RUD_DRIVE_P", other.Path().string());
  fs::create_symlink(other / "target.bin", temp_ / "link");
  fs::create_symlink(other.Path(), temp_ / "folder-link");
  FileDateTimeInfo info{};
  ASSERT_TRUE(GetFileDateTimeInfo(u"Q:\\link", true, info));
  EXPECT_EQ(info.nFileSizeLow, 7u);
  ASSERT_TRUE(GetFileDateTimeInfo(u"Q:\\folder-link", true, info));
  EXPECT_EQ(info.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  // A target on no drive can't be named: not found, as on Windows.
  env_.Set("RUD_DRIVE_P", "");
  FileDateTimeInfo untouched{};
  EXPECT_FALSE(GetFileDateTimeInfo(u"Q:\\link", true, untouched));
  EXPECT_EQ(untouched.nFileSizeLow, 0u);
}

TEST_F(DeviceRouteTest, LinkGivenAsAHostPath) {
  // A server folder passed as /mnt/upd: the link's volume is the host root's.
  fs::create_symlink(temp_ / "file.bin", temp_ / "link");
  FileDateTimeInfo info{};
  ASSERT_TRUE(GetFileDateTimeInfo((temp_ / "link").u16string(), true, info));
  EXPECT_EQ(info.nFileSizeLow, 5u);
  EXPECT_EQ(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
}

TEST_F(DeviceRouteTest, UnreadableLinkTargetRaises) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  temp_.WriteFile("secret.bin", "x");
  chmod((temp_ / "secret.bin").c_str(), 0);
  fs::create_symlink(temp_ / "secret.bin", temp_ / "link");
  FileDateTimeInfo info{};
  EXPECT_THROW(GetFileDateTimeInfo(u"Q:\\link", true, info), EDirectoryNotFoundException);
}

TEST_F(DeviceRouteTest, FolderThatCannotBeExaminedCountsAsExisting) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::create_directory(temp_ / "closed");
  chmod((temp_ / "closed").c_str(), 0);
  EXPECT_TRUE(IsExistingFolder(u"Q:\\closed\\inner"));
  EXPECT_TRUE(CreateFolderChain(u"Q:\\closed\\inner\\"));
}

// A drive's device name matches only up to a backslash or the end: the drive
// rooted at .../zarvek does not take .../zarvek-shares, and the first drive
// that truly holds the path names it.
TEST_F(DeviceRouteTest, DeviceNameMatchesAtANamesEnd) {
  const fs::path zarvek = temp_ / "zarvek";
  fs::create_directories(zarvek);
  fs::create_directories(temp_ / "zarvek-shares");
  env_.Set("RUD_DRIVE_C", zarvek.string());
  const std::u16string device = DeviceOf(zarvek);
  struct Case {
    std::u16string path;
    std::u16string expected;
  } cases[] = {
      {device + u"\\Garh\\x.exe", u"C:\\Garh\\x.exe"},
      {device, u"C:"},
      {device + u"-shares\\srv\\x.exe", u"Q:\\zarvek-shares\\srv\\x.exe"},
      {device + u"2", u"Q:\\zarvek2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.path));
    EXPECT_EQ(DevicePathToDrivePath(c.path), c.expected);
  }
}

// A link may lead to a name longer than the 260-unit buffers: the name comes
// back whole, by each route.
TEST_F(DeviceRouteTest, LongNamesComeBackWhole) {
  fs::path folder = temp_.Path();
  for (int i = 0; i < 8; ++i) folder /= std::string(40, static_cast<char>('a' + i));
  fs::create_directories(folder);
  std::ofstream(folder / "file.bin") << "12345";
  std::ofstream(folder / "empty.bin").close();
  const std::u16string expected =
      u"Q:" + DeviceOf(folder).substr(DeviceOf(temp_.Path()).size());
  for (const char* name : {"file.bin", "empty.bin"}) {
    SCOPED_TRACE(name);
    env_.Set("RUD_DRIVE_C", "");
    env_.Set("RUD_DRIVE_Z", "");
    const std::u16string path = (folder / name).u16string();
    HANDLE file = Open(path.c_str());
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    Text found;
    EXPECT_TRUE(NameOfOpenFile(file, found));
    CloseHandle(file);
    EXPECT_GT(found.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ(found, expected + u"\\" + std::u16string(name, name + std::strlen(name)));
  }
}
