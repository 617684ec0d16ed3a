#include "fileinfo/time_stamps.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>

#include "console/exceptions.h"
#include "fileinfo/device_path.h"
#include "fileinfo/link_target.h"
#include "platform/win32.h"
#include "support/drive_folder.h"
#include "support/symbolic_link.h"
#include "support/temp_folder.h"
#include "support/file_time.h"

namespace fs = std::filesystem;
using namespace std::chrono;

namespace {

// 2024-03-05 12:34:56 UTC; whole seconds, the finest some hosts' runtimes set.
const sys_time<milliseconds> kTargetTime = sys_days{2024y / March / 5} + 12h + 34min + 56s;

uint64_t TicksOf(sys_time<milliseconds> time) {
  constexpr int64_t kMillisecondsBefore1970 = 11644473600000;
  return static_cast<uint64_t>(time.time_since_epoch().count() + kMillisecondsBefore1970) * 10000;
}

void SetLastWriteTime(const fs::path& path, sys_time<milliseconds> time) {
  fs::last_write_time(path, file_clock::from_sys(time));
}

// The last-write time the host reports for a path, in FILETIME ticks cut to
// whole seconds: some hosts' runtimes report no finer.
uint64_t HostWriteSeconds(const fs::path& path) {
  using Ticks = duration<int64_t, std::ratio<1, 10000000>>;
  constexpr int64_t kTicksBefore1970 = 116444736000000000;
  auto since1970 = floor<Ticks>(file_clock::to_sys(fs::last_write_time(path)).time_since_epoch());
  return static_cast<uint64_t>(since1970.count() + kTicksBefore1970) / 10000000;
}

// A record with every byte set, to see what a lookup leaves alone.
FileDateTimeInfo MarkedRecord() {
  FileDateTimeInfo info;
  std::memset(&info, 0xA5, sizeof(info));
  return info;
}

bool IsUntouched(const FileDateTimeInfo& info) {
  FileDateTimeInfo marked = MarkedRecord();
  return std::memcmp(&info, &marked, sizeof(info)) == 0;
}

// A folder holding a 5-byte file, an empty file and a folder, each with a
// known last-write time, and links to them where the host keeps links.
class TimeStampsTest : public testing::Test {
 protected:
  void SetUp() override {
    RecordOperatingSystemVersion();
    SetLastWriteTime(temp_.WriteFile("target.bin", "12345"), kTargetTime);
    SetLastWriteTime(temp_.WriteFile("empty.bin", ""), kTargetTime);
    // Not every host lets a folder's time be set: it keeps its own.
    fs::create_directory(temp_ / "folder");
  }

  // Links named link-<name> to each target; skips the test without links.
  bool MakeLinks() {
    return CreateTestLink(temp_ / "target.bin", temp_ / "link-target.bin", false) &&
           CreateTestLink(temp_ / "empty.bin", temp_ / "link-empty.bin", false) &&
           CreateTestLink(temp_ / "folder", temp_ / "link-folder", true) &&
           CreateTestLink(temp_ / "gone.bin", temp_ / "link-gone.bin", false);
  }

  TempFolder temp_;
  DriveFolder drive_{temp_.Path()};
};

}  // namespace

TEST_F(TimeStampsTest, OrdinaryFile) {
  FileDateTimeInfo info = MarkedRecord();
  ASSERT_TRUE(GetFileDateTimeInfo(drive_ / u"target.bin", true, info));
  EXPECT_EQ(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT), 0u);
  EXPECT_EQ(TicksOf(info.ftLastWriteTime), TicksOf(kTargetTime));
  EXPECT_NE(TicksOf(info.ftCreationTime), 0u);
  EXPECT_NE(TicksOf(info.ftLastAccessTime), 0u);
  EXPECT_EQ(info.nFileSizeHigh, 0u);
  EXPECT_EQ(info.nFileSizeLow, 5u);
  // The same without following links: the file is no link.
  FileDateTimeInfo unfollowed{};
  ASSERT_TRUE(GetFileDateTimeInfo(drive_ / u"target.bin", false, unfollowed));
  EXPECT_EQ(TicksOf(unfollowed.ftLastWriteTime), TicksOf(kTargetTime));
}

TEST_F(TimeStampsTest, MissingFileLeavesTheRecordAlone) {
  for (const Text& path : {drive_ / u"missing.bin", drive_ / u"missing\\file.bin", Text()}) {
    SCOPED_TRACE(testing::PrintToString(path));
    FileDateTimeInfo info = MarkedRecord();
    EXPECT_FALSE(GetFileDateTimeInfo(path, true, info));
    EXPECT_TRUE(IsUntouched(info));
  }
}

TEST_F(TimeStampsTest, Folder) {
  FileDateTimeInfo info{};
  ASSERT_TRUE(GetFileDateTimeInfo(drive_ / u"folder", true, info));
  EXPECT_NE(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(TicksOf(info.ftLastWriteTime) / 10000000, HostWriteSeconds(temp_ / "folder"));
}

TEST_F(TimeStampsTest, FollowedLinkGivesItsTarget) {
  if (!MakeLinks()) GTEST_SKIP() << "no symbolic links here";
  // A non-empty file is named through a mapped view, an empty one and a
  // folder through the final path of their handle.
  struct Case {
    const char16_t* link;
    const char* target;
    bool folder;
    DWORD size;
  } cases[] = {{u"link-target.bin", "target.bin", false, 5},
               {u"link-empty.bin", "empty.bin", false, 0},
               {u"link-folder", "folder", true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(Text(c.link)));
    FileDateTimeInfo info = MarkedRecord();
    ASSERT_TRUE(GetFileDateTimeInfo(drive_ / c.link, true, info));
    EXPECT_EQ(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0, c.folder);
    EXPECT_EQ(TicksOf(info.ftLastWriteTime) / 10000000, HostWriteSeconds(temp_ / c.target));
    EXPECT_EQ(info.nFileSizeLow, c.size);
  }
}

TEST_F(TimeStampsTest, UnfollowedLinkIsNotFound) {
  if (!MakeLinks()) GTEST_SKIP() << "no symbolic links here";
  for (const char16_t* link : {u"link-target.bin", u"link-folder", u"link-gone.bin"}) {
    SCOPED_TRACE(testing::PrintToString(Text(link)));
    FileDateTimeInfo info = MarkedRecord();
    EXPECT_FALSE(GetFileDateTimeInfo(drive_ / link, false, info));
    EXPECT_TRUE(IsUntouched(info));
  }
}

TEST_F(TimeStampsTest, FollowedDanglingLinkRaises) {
  if (!MakeLinks()) GTEST_SKIP() << "no symbolic links here";
  FileDateTimeInfo info = MarkedRecord();
  try {
    GetFileDateTimeInfo(drive_ / u"link-gone.bin", true, info);
    ADD_FAILURE() << "no error raised";
  } catch (const EDirectoryNotFoundException& error) {
    EXPECT_EQ(error.ClassName(), u"EDirectoryNotFoundException");
    EXPECT_EQ(error.Message, u"The drive cannot be found");
  }
  EXPECT_TRUE(IsUntouched(info));
}

TEST(DrivePartOf, DriveOrServerAndShare) {
  struct Case {
    const char16_t* path;
    const char16_t* drive;
  } cases[] = {{u"C:\\x\\y", u"C:"},
               {u"C:", u"C:"},
               {u"\\\\host\\share\\x", u"\\\\host\\share"},
               {u"\\\\host\\share", u"\\\\host\\share"},
               {u"\\\\host", u"\\\\host"},
               {u"x\\y", u""},
               {u"\\x", u""},
               {u"", u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(Text(c.path)));
    EXPECT_EQ(DrivePartOf(c.path), c.drive);
  }
}

TEST(WithTrailingBackslash, AppendsOneWhereMissing) {
  EXPECT_EQ(WithTrailingBackslash(u"C:"), u"C:\\");
  EXPECT_EQ(WithTrailingBackslash(u"C:\\"), u"C:\\");
  EXPECT_EQ(WithTrailingBackslash(u"\\\\h\\s"), u"\\\\h\\s\\");
  EXPECT_EQ(WithTrailingBackslash(u""), u"\\");
}

TEST(DevicePathToDrivePath, FirstDriveWhoseDeviceBeginsThePath) {
  WCHAR drives[MAX_PATH] = {};
  ASSERT_GT(GetLogicalDriveStringsW(MAX_PATH, drives), 0u);
  Text drive(U(drives), 2);
  WCHAR device[MAX_PATH] = {};
  ASSERT_GT(QueryDosDeviceW(W(drive), device, MAX_PATH), 0u);
  Text deviceName = U(device);
  EXPECT_EQ(DevicePathToDrivePath(deviceName + u"\\dir\\file.exe"), drive + u"\\dir\\file.exe");
  EXPECT_EQ(DevicePathToDrivePath(u"\\Device\\NoSuchVolume9\\dir"), u"");
}

TEST_F(TimeStampsTest, EmptyOpenFileIsNamedByItsFinalPath) {
  // Wine names mapped views and kernel objects \??\C:\..., which no drive's
  // device name begins; those two routes are proven over the POSIX layer.
  HANDLE file = CreateFileW(W(drive_ / u"empty.bin"), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  Text found;
  bool named = NameOfOpenFile(file, found);
  CloseHandle(file);
  ASSERT_TRUE(named);
  // The drive path names the same file.
  SCOPED_TRACE(testing::PrintToString(found));
  FileDateTimeInfo info{};
  ASSERT_TRUE(GetFileDateTimeInfo(found, false, info));
  EXPECT_EQ(TicksOf(info.ftLastWriteTime), TicksOf(kTargetTime));
  EXPECT_EQ(info.nFileSizeLow, 0u);
}
