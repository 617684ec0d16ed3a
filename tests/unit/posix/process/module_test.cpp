#include <iconv.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/text/utf.h"
#include "platform/win32.h"

namespace {

std::string ModuleFileName(HMODULE module) {
  char16_t path[1024];
  DWORD length = GetModuleFileNameW(module, path, 1024);
  return posix::Utf8FromUtf16(std::u16string_view(path, length));
}

// The host path in the Windows form the layer reports.
std::string WindowsForm(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

void AFunctionOfThisProgram() {}

TEST(GetModuleFileNameW, TheProgramIsItsExecutable) {
  EXPECT_EQ(ModuleFileName(nullptr), WindowsForm(std::filesystem::read_symlink("/proc/self/exe")));
}

TEST(GetModuleFileNameW, ATooSmallBufferGetsTheCutPathAndItsSize) {
  std::string full = ModuleFileName(nullptr);
  char16_t path[6] = {u'#', u'#', u'#', u'#', u'#', u'#'};
  SetLastError(0);
  EXPECT_EQ(GetModuleFileNameW(nullptr, path, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(posix::Utf8FromUtf16(std::u16string_view(path, 4)), full.substr(0, 4));
  EXPECT_EQ(path[4], u'\0');
  EXPECT_EQ(path[5], u'#');
}

TEST(GetModuleHandleExW, FindsTheModuleHoldingAnAddress) {
  DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  HMODULE program = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&AFunctionOfThisProgram), &program));
  EXPECT_EQ(ModuleFileName(program), ModuleFileName(nullptr));
  EXPECT_LT(reinterpret_cast<uintptr_t>(program), reinterpret_cast<uintptr_t>(&AFunctionOfThisProgram));

  HMODULE library = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&iconv_open), &library));
  EXPECT_NE(library, program);
  EXPECT_NE(ModuleFileName(library).find("libc"), std::string::npos) << ModuleFileName(library);

  HMODULE none = reinterpret_cast<HMODULE>(1);
  EXPECT_FALSE(GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(uintptr_t{0x10}), &none));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_EQ(none, nullptr);
}

TEST(GetModuleHandleExW, NoNameIsTheProgram) {
  HMODULE program = nullptr;
  ASSERT_TRUE(GetModuleHandleExW(0, nullptr, &program));
  EXPECT_EQ(ModuleFileName(program), ModuleFileName(nullptr));
}

}  // namespace
