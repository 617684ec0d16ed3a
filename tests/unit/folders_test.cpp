#include "fileinfo/folders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "console/exceptions.h"
#include "platform/win32.h"
#include "support/drive_folder.h"
#include "support/symbolic_link.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// Runs a test in another working folder and goes back to the former one.
class WorkingFolder {
 public:
  explicit WorkingFolder(const fs::path& folder) : former_(fs::current_path()) {
    fs::current_path(folder);
  }
  ~WorkingFolder() { fs::current_path(former_); }
  WorkingFolder(const WorkingFolder&) = delete;
  WorkingFolder& operator=(const WorkingFolder&) = delete;

 private:
  fs::path former_;
};

// A drive letter with nothing behind it here.
Text MissingDrive() {
  for (char16_t letter = u'Y'; letter > u'D'; --letter) {
    Text root = Text(1, letter) + u":\\";
    if (GetFileAttributesW(W(root)) == INVALID_FILE_ATTRIBUTES) return Text(1, letter) + u":";
  }
  return Text();
}

void ExpectUnableToCreate(const Text& path) {
  try {
    CreateFolderChain(path);
    ADD_FAILURE() << "no error raised";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.Message, u"Unable to create directory");
    EXPECT_EQ(error.ErrorCode, 3);
    EXPECT_EQ(error.ClassName(), u"EInOutError");
  }
}

constexpr DWORD kUntouched = 0x12345;

}  // namespace

TEST(FolderPartOf, UpToTheLastBackslashOrColon) {
  struct Case {
    const char16_t* path;
    const char16_t* folder;
  } cases[] = {{u"C:\\a\\b", u"C:\\a\\"},
               {u"C:\\a\\", u"C:\\a\\"},
               {u"C:", u"C:"},
               {u"C:a", u"C:"},
               {u"abc", u""},
               {u"", u""},
               {u"\\\\h\\s", u"\\\\h\\"},
               {u"a/b", u""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(Text(c.path)));
    EXPECT_EQ(FolderPartOf(c.path), c.folder);
  }
}

TEST(WithoutTrailingBackslash, RemovesOneBackslashOnly) {
  EXPECT_EQ(WithoutTrailingBackslash(u"C:\\a\\"), u"C:\\a");
  EXPECT_EQ(WithoutTrailingBackslash(u"C:\\a\\\\"), u"C:\\a\\");
  EXPECT_EQ(WithoutTrailingBackslash(u"C:\\a"), u"C:\\a");
  EXPECT_EQ(WithoutTrailingBackslash(u"\\"), u"");
  EXPECT_EQ(WithoutTrailingBackslash(u""), u"");
}

TEST(IsExistingFolder, TellsFoldersFromFilesAndMissingNames) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  temp.WriteFile("file.txt", "x");
  fs::create_directory(temp / "folder");
  EXPECT_TRUE(IsExistingFolder(drive.Path()));
  EXPECT_TRUE(IsExistingFolder(drive / u"folder"));
  EXPECT_TRUE(IsExistingFolder(drive / u"folder\\"));
  EXPECT_FALSE(IsExistingFolder(drive / u"file.txt"));
  EXPECT_FALSE(IsExistingFolder(drive / u"missing"));
  EXPECT_FALSE(IsExistingFolder(drive / u"missing\\deeper"));
  EXPECT_FALSE(IsExistingFolder(drive / u"bad?name"));
}

TEST(CreateFolderChain, ExistingFolderIsNotCreatedAgain) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  fs::create_directories(temp / "abc" / "def");
  for (const Text& path : {drive / u"abc\\def", drive / u"abc\\def\\", drive.Path() + u"\\"}) {
    SCOPED_TRACE(testing::PrintToString(path));
    // A creation call would fail on the existing folder and leave its code.
    SetLastError(kUntouched);
    EXPECT_TRUE(CreateFolderChain(path));
    EXPECT_EQ(GetLastError(), kUntouched);
  }
}

TEST(CreateFolderChain, CreatesMissingFoldersTopDown) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  EXPECT_TRUE(CreateFolderChain(drive / u"abc\\def\\ghi\\"));
  EXPECT_TRUE(fs::is_directory(temp / "abc" / "def" / "ghi"));
  // Only missing folders are made: a second branch under the same parents.
  EXPECT_TRUE(CreateFolderChain(drive / u"abc\\xyz"));
  EXPECT_TRUE(fs::is_directory(temp / "abc" / "xyz"));
}

TEST(CreateFolderChain, FileInTheWayStopsTheChain) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  temp.WriteFile("file", "data");
  EXPECT_FALSE(CreateFolderChain(drive / u"file\\sub\\leaf\\"));
  EXPECT_TRUE(fs::is_regular_file(temp / "file"));
  EXPECT_EQ(ReadFileBytes(temp / "file"), "data");
}

TEST(CreateFolderChain, TwoTrailingBackslashesCreateOnlyTheLastFolder) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  // The folder part of "x\new\deeper\" is itself: parents are not made.
  EXPECT_FALSE(CreateFolderChain(drive / u"new\\deeper\\\\"));
  EXPECT_FALSE(fs::exists(temp / "new"));
  EXPECT_TRUE(CreateFolderChain(drive / u"new\\\\"));
  EXPECT_TRUE(fs::is_directory(temp / "new"));
}

TEST(CreateFolderChain, DriveRoots) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  EXPECT_TRUE(CreateFolderChain(drive.Path().substr(0, 2) + u"\\"));
  Text missing = MissingDrive();
  if (missing.empty()) GTEST_SKIP() << "every drive letter exists here";
  // One creation on the drive itself, which fails.
  EXPECT_FALSE(CreateFolderChain(missing + u"\\"));
  EXPECT_FALSE(CreateFolderChain(missing + u"\\abc\\def\\"));
}

TEST(CreateFolderChain, EmptyPathRaises) { ExpectUnableToCreate(u""); }

TEST(CreateFolderChain, RelativePaths) {
  TempFolder temp;
  {
    WorkingFolder working(temp.Path());
    // The recursion reaches the empty folder part of a first folder of three
    // characters or more.
    ExpectUnableToCreate(u"abc\\def");
    ExpectUnableToCreate(u"abc");
    EXPECT_FALSE(fs::exists(temp / "abc"));
    // A first folder of one or two characters is made directly.
    EXPECT_TRUE(CreateFolderChain(u"ab\\def"));
    // With its first folder there, a longer relative chain is fine.
    fs::create_directory(temp / "abc");
    EXPECT_TRUE(CreateFolderChain(u"abc\\def\\"));
  }
  EXPECT_TRUE(fs::is_directory(temp / "ab" / "def"));
  EXPECT_TRUE(fs::is_directory(temp / "abc" / "def"));
}

TEST(CreateFolderChain, LinkToFolderCountsAsExisting) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  fs::create_directory(temp / "target");
  if (!CreateTestLink(temp / "target", temp / "link", true)) {
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_TRUE(IsExistingFolder(drive / u"link"));
  EXPECT_TRUE(CreateFolderChain(drive / u"link\\"));
  EXPECT_TRUE(CreateFolderChain(drive / u"link\\made"));
  EXPECT_TRUE(fs::is_directory(temp / "target" / "made"));
}

TEST(CreateFolderChain, DanglingLinkCountsAsMissing) {
  TempFolder temp;
  DriveFolder drive(temp.Path());
  if (!CreateTestLink(temp / "gone", temp / "link", true)) {
    GTEST_SKIP() << "no symbolic links here";
  }
  EXPECT_FALSE(IsExistingFolder(drive / u"link"));
  // The name is taken: the folder can't be created over the link.
  EXPECT_FALSE(CreateFolderChain(drive / u"link\\"));
  EXPECT_FALSE(CreateFolderChain(drive / u"link\\sub"));
  EXPECT_FALSE(fs::exists(temp / "gone"));
}
