// The file half of the POSIX layer: attribute data, errors as Windows gives
// them, opening, listing and creating.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/win32.h"
#include "unit/posix/scoped_environment.h"
#include "support/temp_folder.h"
#include "support/file_time.h"

namespace fs = std::filesystem;

namespace {

// The attribute bits, or "error N".
std::string AttributesOf(const std::u16string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
    return "error " + std::to_string(GetLastError());
  }
  EXPECT_EQ(GetFileAttributesW(path.c_str()), data.dwFileAttributes);
  return std::to_string(data.dwFileAttributes);
}

std::string Bits(DWORD attributes) { return std::to_string(attributes); }

// Drive Q is a temporary folder holding a file, a folder and links.
class FileShimsTest : public testing::Test {
 protected:
  FileShimsTest() {
    env_.Set("RUD_DRIVE_Q", temp_.Path().string());
    env_.Unset("RUD_DRIVE_Y");
    temp_.WriteFile("file.txt", "12345");
    fs::create_directory(temp_ / "folder");
    fs::create_symlink(temp_ / "file.txt", temp_ / "link-file");
    fs::create_directory_symlink(temp_ / "folder", temp_ / "link-folder");
    fs::create_symlink(temp_ / "gone", temp_ / "link-gone");
  }

  TempFolder temp_;
  ScopedEnvironment env_;
};

}  // namespace

TEST_F(FileShimsTest, AttributesAsWindowsReportsThem) {
  fs::create_directory(temp_ / "locked");
  temp_.WriteFile("readonly.txt", "x");
  chmod((temp_ / "readonly.txt").c_str(), 0444);
  chmod((temp_ / "locked").c_str(), 0555);
  ASSERT_EQ(mkfifo((temp_ / "fifo").c_str(), 0644), 0);
  // Read-only set and cleared: the one attribute the host keeps.
  temp_.WriteFile("made-readonly.txt", "x");
  temp_.WriteFile("made-writable.txt", "x");
  chmod((temp_ / "made-writable.txt").c_str(), 0444);
  EXPECT_TRUE(SetFileAttributesW(u"Q:\\made-readonly.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_TRUE(SetFileAttributesW(u"Q:\\made-writable.txt", FILE_ATTRIBUTE_ARCHIVE));
  struct Case {
    const char16_t* path;
    std::string attributes;
  } cases[] = {
      {u"Q:\\file.txt", Bits(FILE_ATTRIBUTE_NORMAL)},
      {u"Q:\\FILE.TXT", Bits(FILE_ATTRIBUTE_NORMAL)},
      {u"Q:\\folder", Bits(FILE_ATTRIBUTE_DIRECTORY)},
      {u"Q:\\folder\\", Bits(FILE_ATTRIBUTE_DIRECTORY)},
      {u"Q:\\readonly.txt", Bits(FILE_ATTRIBUTE_READONLY)},
      {u"Q:\\made-readonly.txt", Bits(FILE_ATTRIBUTE_READONLY)},
      {u"Q:\\made-writable.txt", Bits(FILE_ATTRIBUTE_NORMAL)},
      {u"Q:\\fifo", Bits(FILE_ATTRIBUTE_DEVICE)},  // no file's bytes behind it
      {u"Q:\\locked", Bits(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)},
      // Links are reparse points, folders too when their target is one; the
      // trailing backslash does not look through them.
      {u"Q:\\link-file", Bits(FILE_ATTRIBUTE_REPARSE_POINT)},
      {u"Q:\\link-folder", Bits(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)},
      {u"Q:\\link-folder\\", Bits(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)},
      {u"Q:\\link-gone", Bits(FILE_ATTRIBUTE_REPARSE_POINT)},
      {u"Q:\\link-folder\\..\\file.txt", Bits(FILE_ATTRIBUTE_NORMAL)},
      // Errors: a missing file, a missing folder on the way, a missing drive,
      // a file used as a folder, a name Windows refuses, no name at all.
      {u"Q:\\missing.txt", "error 2"},
      {u"Q:\\missing\\file.txt", "error 3"},
      {u"Y:\\file.txt", "error 3"},
      {u"Q:\\file.txt\\x", "error 3"},
      {u"Q:\\file.txt\\", "error 3"},
      {u"Q:\\link-gone\\x", "error 3"},
      {u"Q:\\fi|e.txt", "error 123"},
      {u"", "error 3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
    EXPECT_EQ(AttributesOf(c.path), c.attributes);
  }
}

TEST_F(FileShimsTest, AccessDenied) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
  fs::create_directory(temp_ / "closed");
  temp_.WriteFile("closed/inner.txt", "x");
  chmod((temp_ / "closed").c_str(), 0);
  EXPECT_EQ(AttributesOf(u"Q:\\closed\\inner.txt"), "error 5");
}

TEST_F(FileShimsTest, TimesAtFullPrecisionAndSizeInTwoHalves) {
  fs::resize_file(temp_ / "file.txt", (5ULL << 32) + 7);  // sparse: no space used
  // 2024-03-05 12:34:56.123456789 UTC: the 100-ns tick keeps 1234567.
  timespec times[2] = {{1709642096, 987654321}, {1709642096, 123456789}};
  ASSERT_EQ(utimensat(AT_FDCWD, (temp_ / "file.txt").c_str(), times, 0), 0);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  ASSERT_TRUE(GetFileAttributesExW(u"Q:\\file.txt", GetFileExInfoStandard, &data));
  constexpr uint64_t kTicks1970 = 116444736000000000ULL;
  EXPECT_EQ(TicksOf(data.ftLastWriteTime), kTicks1970 + 17096420961234567ULL);
  EXPECT_EQ(TicksOf(data.ftLastAccessTime), kTicks1970 + 17096420969876543ULL);
  EXPECT_NE(TicksOf(data.ftCreationTime), 0u);
  EXPECT_EQ(data.nFileSizeHigh, 5u);
  EXPECT_EQ(data.nFileSizeLow, 7u);
  HANDLE file = CreateFileW(u"Q:\\file.txt", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD high = 0;
  EXPECT_EQ(GetFileSize(file, &high), 7u);
  EXPECT_EQ(high, 5u);
  CloseHandle(file);
}

TEST_F(FileShimsTest, OpeningThroughLinks) {
  struct Case {
    const char16_t* path;
    DWORD flags;
    DWORD error;  // 0: opens
  } cases[] = {
      {u"Q:\\file.txt", 0, 0},
      {u"Q:\\link-file", 0, 0},
      {u"Q:\\link-folder", FILE_FLAG_BACKUP_SEMANTICS, 0},
      {u"Q:\\folder", 0, ERROR_ACCESS_DENIED},  // a folder needs backup semantics
      {u"Q:\\link-gone", 0, ERROR_FILE_NOT_FOUND},
      {u"Q:\\missing\\x", 0, ERROR_PATH_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
    HANDLE file = CreateFileW(c.path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              c.flags, nullptr);
    if (c.error == 0) {
      ASSERT_NE(file, INVALID_HANDLE_VALUE);
      EXPECT_TRUE(CloseHandle(file));
    } else {
      EXPECT_EQ(file, INVALID_HANDLE_VALUE);
      EXPECT_EQ(GetLastError(), c.error);
    }
  }
}

TEST_F(FileShimsTest, FindingOneName) {
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(u"Q:\\File.Txt", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(std::u16string(found.cFileName), u"file.txt");
  EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
  EXPECT_EQ(found.nFileSizeLow, 5u);
  EXPECT_TRUE(FindClose(search));
  ASSERT_NE(search = FindFirstFileW(u"Q:\\link-folder", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(found.dwFileAttributes,
            static_cast<DWORD>(FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY));
  FindClose(search);
  EXPECT_EQ(FindFirstFileW(u"Q:\\missing.txt", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(FindFirstFileW(u"Q:\\missing\\x", &found), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileShimsTest, CreatingFolders) {
  // Drive X is mapped to a folder that does not exist (a mistyped mapping).
  env_.Set("RUD_DRIVE_X", (temp_ / "drive-x").string());
  struct Case {
    const char16_t* path;
    DWORD error;  // 0: created
  } cases[] = {
      {u"Q:\\new", 0},
      {u"Q:\\new\\deeper\\", 0},
      {u"Q:\\NEW", ERROR_ALREADY_EXISTS},  // the same folder to Windows
      {u"Q:\\file.txt", ERROR_ALREADY_EXISTS},
      {u"Q:\\link-gone", ERROR_ALREADY_EXISTS},
      {u"Q:\\missing\\new", ERROR_PATH_NOT_FOUND},
      {u"Q:\\file.txt\\new", ERROR_PATH_NOT_FOUND},
      {u"Y:\\new", ERROR_PATH_NOT_FOUND},
      {u"Y:", ERROR_PATH_NOT_FOUND},
      {u"Q:\\ne*w", ERROR_INVALID_NAME},
      // A drive's root is never made: there, or a drive that is missing.
      {u"Q:", ERROR_ALREADY_EXISTS},
      {u"Q:\\..", ERROR_ALREADY_EXISTS},
      {u"X:", ERROR_PATH_NOT_FOUND},
      {u"X:\\", ERROR_PATH_NOT_FOUND},
      {u"X:\\new", ERROR_PATH_NOT_FOUND},
      // Through a folder link that another user planted: made nowhere.
      {u"Q:\\planted\\new", ERROR_ACCESS_DENIED},
  };
  const bool root = geteuid() == 0;
  if (root) {
    fs::create_directory_symlink(temp_ / "folder", temp_ / "planted");
    ASSERT_EQ(lchown((temp_ / "planted").c_str(), 65534, 65534), 0);
  }
  // A tight umask does not reach the folders made: rwxr-xr-x, as install -d.
  const mode_t previousMask = ::umask(077);
  bool skipped = false;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.path)));
    if (!root && std::u16string(c.path).find(u"planted") != std::u16string::npos) {
      skipped = true;  // only root can set up another user's link
      continue;
    }
    SetLastError(0);
    EXPECT_EQ(CreateDirectoryW(c.path, nullptr), c.error == 0 ? TRUE : FALSE);
    EXPECT_EQ(GetLastError(), c.error);
  }
  ::umask(previousMask);
  EXPECT_TRUE(fs::is_directory(temp_ / "new" / "deeper"));
  for (const fs::path& made : {temp_ / "new", temp_ / "new" / "deeper"}) {
    struct stat facts {};
    ASSERT_EQ(::stat(made.c_str(), &facts), 0) << made;
    EXPECT_EQ(facts.st_mode & 07777, 0755u) << made;
  }
  EXPECT_FALSE(fs::exists(temp_ / "gone"));
  EXPECT_FALSE(fs::exists(temp_ / "drive-x"));
  EXPECT_FALSE(fs::exists(temp_ / "folder" / "new"));
  if (skipped) GTEST_SKIP() << "the planted link's row needs root";
}

// A device or a FIFO behind a name is named, never opened: a FIFO's writer
// sees no reader, and reading the handle fails.
TEST_F(FileShimsTest, DevicesAndFifosAreNotOpened) {
  const fs::path fifo = temp_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  fs::create_symlink(fifo, temp_ / "link-fifo");
  fs::create_symlink("/dev/zero", temp_ / "link-zero");
  for (const char16_t* path : {u"Q:\\fifo", u"Q:\\link-fifo", u"Q:\\link-zero"}) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(path)));
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(writer, -1);
    EXPECT_EQ(errno, ENXIO);  // no reader has the FIFO open
    char byte = 0;
    DWORD read = 0;
    EXPECT_FALSE(ReadFile(file, &byte, 1, &read, nullptr));
    DWORD high = 7;
    EXPECT_EQ(GetFileSize(file, &high), 0u);
    EXPECT_TRUE(CloseHandle(file));
  }
}
