// The version strings of executables made by the tests' writer, read through
// the platform's version calls (our POSIX layer natively, Windows' own under
// Wine).
#include <gtest/gtest.h>

#include <functional>

#include "console/exceptions.h"
#include "fileinfo/os_error.h"
#include "fileinfo/version_info.h"
#include "platform/win32.h"
#include "support/pe_writer.h"
#include "support/temp_folder.h"

namespace {

const std::vector<std::pair<std::u16string, std::u16string>> kAllStrings = {
    {u"CompanyName", u"ZARVEK S.A."},
    {u"FileDescription", u"N\u00f3mina y Payroll"},
    {u"FileVersion", u"12.6.0.3"},
    {u"InternalName", u"XNMPAYRO"},
    {u"LegalCopyright", u"\u00a9 ZARVEK"},
    {u"LegalTrademarks", u"ZARVEK\u2122"},
    {u"OriginalFilename", u"XNMPAYRO.exe"},  // spelled as resources commonly spell it
    {u"ProductName", u"ZARVEK Suite"},
    {u"ProductVersion", u"12.6"},
    {u"Comments", u"Actualizado"},
    {u"PrivateBuild", u"build 7"},
    {u"SpecialBuild", u"QA"},
};

Text Written(const TempFolder& folder, const char* name, const std::string& bytes) {
  return folder.WriteFile(name, bytes).u16string();
}

void ExpectAllStrings(const TEXEVersionData& data) {
  EXPECT_EQ(data.CompanyName, u"ZARVEK S.A.");
  EXPECT_EQ(data.FileDescription, u"N\u00f3mina y Payroll");
  EXPECT_EQ(data.FileVersion, u"12.6.0.3");
  EXPECT_EQ(data.InternalName, u"XNMPAYRO");
  EXPECT_EQ(data.LegalCopyright, u"\u00a9 ZARVEK");
  EXPECT_EQ(data.LegalTrademarks, u"ZARVEK\u2122");
  EXPECT_EQ(data.OriginalFileName, u"XNMPAYRO.exe");
  EXPECT_EQ(data.ProductName, u"ZARVEK Suite");
  EXPECT_EQ(data.ProductVersion, u"12.6");
  EXPECT_EQ(data.Comments, u"Actualizado");
  EXPECT_EQ(data.PrivateBuild, u"build 7");
  EXPECT_EQ(data.SpecialBuild, u"QA");
  EXPECT_EQ(data.DateModified, u"");
}

TEST(ReadVersionStrings, AFullResourceOfEitherKind) {
  TempFolder folder;
  for (PeKind kind : {PeKind::Pe32, PeKind::Pe32Plus}) {
    SCOPED_TRACE(kind == PeKind::Pe32 ? "PE32" : "PE32+");
    ExpectAllStrings(ReadVersionStrings(
        Written(folder, "full.exe", BuildExecutable(kind, SpanishVersionResource(kAllStrings)))));
  }
}

bool AllEmpty(const TEXEVersionData& d) {
  for (const Text* field :
       {&d.CompanyName, &d.FileDescription, &d.FileVersion, &d.InternalName, &d.LegalCopyright,
        &d.LegalTrademarks, &d.OriginalFileName, &d.ProductName, &d.ProductVersion, &d.Comments,
        &d.PrivateBuild, &d.SpecialBuild, &d.DateModified}) {
    if (!field->empty()) return false;
  }
  return true;
}

TEST(ReadVersionStrings, ResourceShapes) {
  TempFolder folder;
  struct Case {
    const char* what;
    std::function<void(VersionResource&)> shape;
    std::function<void(const TEXEVersionData&)> check;
  } cases[] = {
      {"strings under another key than the first translation",
       [](VersionResource& r) { r.translations = {{0x0409, 0x04B0}}; },
       [](const TEXEVersionData& d) { EXPECT_TRUE(AllEmpty(d)); }},
      {"later translation entries are ignored",
       [](VersionResource& r) { r.translations = {{0x0409, 0x04E4}, {0x0C0A, 0x04B0}}; },
       [](const TEXEVersionData& d) { EXPECT_TRUE(AllEmpty(d)); }},
      {"the table's key in lower case",
       [](VersionResource& r) { r.stringTables[0].key = u"0c0a04b0"; },
       [](const TEXEVersionData& d) { ExpectAllStrings(d); }},
      {"the first of two tables",
       [](VersionResource& r) {
         r.stringTables.insert(r.stringTables.begin(), {u"040904B0", {{u"ProductName", u"X"}}});
       },
       [](const TEXEVersionData& d) { ExpectAllStrings(d); }},
      {"without Comments",
       [](VersionResource& r) {
         auto& strings = r.stringTables[0].strings;
         std::erase_if(strings, [](const auto& s) { return s.first == u"Comments"; });
       },
       [](const TEXEVersionData& d) {
         EXPECT_EQ(d.Comments, u"");
         EXPECT_EQ(d.CompanyName, u"ZARVEK S.A.");
         EXPECT_EQ(d.PrivateBuild, u"build 7");
       }},
      {"an empty value",
       [](VersionResource& r) { r.stringTables[0].strings[9].second = u""; },
       [](const TEXEVersionData& d) {
         EXPECT_EQ(d.Comments, u"");
         EXPECT_EQ(d.PrivateBuild, u"build 7");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    VersionResource resource = SpanishVersionResource(kAllStrings);
    c.shape(resource);
    c.check(ReadVersionStrings(
        Written(folder, "shaped.exe", BuildExecutable(PeKind::Pe32, resource))));
  }
}

// The EOSError of a failed read: the code the failing call left, and the
// message for that code.
void ExpectOSError(const Text& path, DWORD code) {
  try {
    ReadVersionStrings(path);
    ADD_FAILURE() << "nothing raised";
  } catch (const EOSError& error) {
    EXPECT_EQ(error.ErrorCode, code);
    EXPECT_EQ(error.Message, OSErrorMessage(code));
    EXPECT_EQ(error.Message.substr(0, 21), u"System Error.  Code: ");
  }
}

DWORD SizeQueryCode(const Text& path) {
  SetLastError(0);
  DWORD handle = 0;
  EXPECT_EQ(GetFileVersionInfoSizeW(W(path), &handle), 0u);
  return GetLastError();
}

TEST(ReadVersionStrings, FilesWithoutReadableResourceRaiseTheSizeQuerysCode) {
  TempFolder folder;
  const Text missing = (folder / "missing.exe").u16string();
  const Text noFolder = (folder / "no folder" / "x.exe").u16string();
  const Text text = Written(folder, "notes.txt", "not an executable\r\n");
  const Text bare = Written(folder, "bare.exe", BuildExecutable(PeKind::Pe32, std::nullopt));
  EXPECT_EQ(SizeQueryCode(missing), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(SizeQueryCode(noFolder), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  for (const Text& path : {missing, noFolder, text, bare}) {
    SCOPED_TRACE(testing::Message() << path.size());
    const DWORD code = SizeQueryCode(path);
    EXPECT_NE(code, 0u);
    ExpectOSError(path, code);
  }
}

TEST(ReadVersionStrings, AMissingOrShortTranslationTableRaises) {
  TempFolder folder;
  VersionResource none = SpanishVersionResource(kAllStrings);
  none.withTranslationValue = false;
  VersionResource empty = SpanishVersionResource(kAllStrings);
  empty.translations.clear();
  for (const VersionResource& resource : {none, empty}) {
    ExpectOSError(Written(folder, "table.exe", BuildExecutable(PeKind::Pe32Plus, resource)),
                  ERROR_RESOURCE_TYPE_NOT_FOUND);
  }
}

}  // namespace
