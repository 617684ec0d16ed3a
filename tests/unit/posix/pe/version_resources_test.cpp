// The version calls on files: what they report for files that aren't there,
// aren't executables or have no version resource, and for a caller's buffer
// smaller than the resource.
#include <gtest/gtest.h>

#include <filesystem>

#include "console/text.h"
#include "platform/win32.h"
#include "support/pe_writer.h"
#include "support/temp_folder.h"

namespace {

std::u16string PathText(const std::filesystem::path& path) { return path.u16string(); }

TEST(PosixVersionCalls, SizeQueryFailures) {
  TempFolder folder;
  folder.WriteFile("text.txt", "hello\n");
  folder.WriteFile("none.exe", BuildExecutable(PeKind::Pe32, std::nullopt));
  std::filesystem::create_directory(folder / "folder.exe");
  // Data entries that claim fewer bytes than a version block's header: a
  // buffer of that size would not even hold the block's length.
  for (uint32_t claimed : {1u, 5u}) {
    VersionResource tiny = SpanishVersionResource({{u"FileVersion", u"1.0"}});
    tiny.claimedSize = claimed;
    folder.WriteFile("tiny" + std::to_string(claimed) + ".exe", BuildExecutable(PeKind::Pe32, tiny));
  }
  struct Case {
    const char* name;
    DWORD code;
  } cases[] = {
      {"missing.exe", ERROR_FILE_NOT_FOUND},
      {"missing/x.exe", ERROR_PATH_NOT_FOUND},
      {"text.txt", ERROR_BAD_EXE_FORMAT},
      {"none.exe", ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"folder.exe", ERROR_ACCESS_DENIED},
      {"tiny1.exe", ERROR_RESOURCE_DATA_NOT_FOUND},
      {"tiny5.exe", ERROR_RESOURCE_DATA_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DWORD handle = 7;
    SetLastError(0);
    EXPECT_EQ(GetFileVersionInfoSizeW(W(PathText(folder / c.name)), &handle), 0u);
    EXPECT_EQ(GetLastError(), c.code);
    EXPECT_EQ(handle, 0u);
  }
}

TEST(PosixVersionCalls, SizeAndCopyOfTheResource) {
  TempFolder folder;
  const auto path = folder.WriteFile(
      "full.exe", BuildExecutable(PeKind::Pe32Plus,
                                  SpanishVersionResource({{u"ProductName", u"ZARVEK"}})));
  const DWORD size = GetFileVersionInfoSizeW(W(PathText(path)), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<uint8_t> buffer(size);
  ASSERT_TRUE(GetFileVersionInfoW(W(PathText(path)), 0, size, buffer.data()));
  EXPECT_EQ(buffer[0] | (buffer[1] << 8), static_cast<int>(size));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(buffer.data(), W(u"\\StringFileInfo\\0C0A04B0\\ProductName"),
                             &value, &length));
  EXPECT_EQ(Text(static_cast<const char16_t*>(value)), u"ZARVEK");
  EXPECT_EQ(length, 7u);

  SetLastError(0);
  EXPECT_FALSE(VerQueryValueW(buffer.data(), W(u"\\StringFileInfo\\0C0A04B0\\Comments"), &value,
                              &length));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
  EXPECT_EQ(value, nullptr);
  EXPECT_FALSE(VerQueryValueW(nullptr, W(u"\\"), &value, &length));
}

// A copy into a smaller buffer claims no more than the buffer holds, so the
// lookups never leave it (the sanitizer checks the reads); a buffer too small
// for the block's header is refused.
TEST(PosixVersionCalls, ShortBufferKeepsLookupsInside) {
  TempFolder folder;
  const auto path = folder.WriteFile(
      "full.exe",
      BuildExecutable(PeKind::Pe32, SpanishVersionResource({{u"ProductName", u"ZARVEK"}})));
  const DWORD size = GetFileVersionInfoSizeW(W(PathText(path)), nullptr);
  for (DWORD small = 1; small < size; ++small) {
    SCOPED_TRACE(small);
    std::vector<uint8_t> buffer(small);
    if (small < 6) {
      SetLastError(0);
      EXPECT_FALSE(GetFileVersionInfoW(W(PathText(path)), 0, small, buffer.data()));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
      continue;
    }
    ASSERT_TRUE(GetFileVersionInfoW(W(PathText(path)), 0, small, buffer.data()));
    EXPECT_LE(static_cast<DWORD>(buffer[0] | (buffer[1] << 8)), small);
    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(buffer.data(), W(u"\\StringFileInfo\\0C0A04B0\\ProductName"), &value,
                       &length)) {
      EXPECT_EQ(Text(static_cast<const char16_t*>(value)), u"ZARVEK");
    }
  }
}

}  // namespace
