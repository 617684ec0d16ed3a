// The PE reader on images made by the tests' writer, whole and broken in the
// ways an untrusted file can be broken.
#include "platform/posix/pe/pe_image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "support/pe_writer.h"

namespace posix {
namespace {

// Where the writer puts things in a PE32 image with one version language.
constexpr size_t kNewHeaderField = 0x3C;
constexpr size_t kPeHeader = 0x40;
constexpr size_t kSectionCount = kPeHeader + 4 + 2;
constexpr size_t kOptionalHeader = kPeHeader + 24;
constexpr size_t kDirectoryCount = kOptionalHeader + 92;
constexpr size_t kResourceDirectory = kOptionalHeader + 96 + 16;
constexpr size_t kResources = 0x400;
constexpr size_t kTypeEntry = kResources + 0x10;
constexpr size_t kNameDirectory = kResources + 0x18;
constexpr size_t kLanguageDirectory = kResources + 0x30;
constexpr size_t kLanguageEntry = kResources + 0x40;
constexpr size_t kDataEntry = kResources + 0x48;
constexpr size_t kBlock = kResources + 0x58;

VersionResource Sample() {
  return SpanishVersionResource({{u"FileVersion", u"1.2.3.4"}, {u"ProductName", u"ZARVEK"}});
}

void Put16(std::string& image, size_t at, uint16_t value) { std::memcpy(&image[at], &value, 2); }
void Put32(std::string& image, size_t at, uint32_t value) { std::memcpy(&image[at], &value, 4); }

bool Read(const std::string& image, std::vector<uint8_t>& bytes, DWORD& code,
          LANGID language = 0x0409) {
  MemoryImage source(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  return ReadVersionResource(source, language, bytes, code);
}

TEST(PeImage, ReadsTheVersionBlockOfBothKinds) {
  for (PeKind kind : {PeKind::Pe32, PeKind::Pe32Plus}) {
    SCOPED_TRACE(kind == PeKind::Pe32 ? "PE32" : "PE32+");
    const std::string image = BuildExecutable(kind, Sample());
    std::vector<uint8_t> bytes;
    DWORD code = 0;
    ASSERT_TRUE(Read(image, bytes, code));
    // The block as the writer laid it down: its length first, then its key.
    ASSERT_GE(bytes.size(), 38u);
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), static_cast<int>(bytes.size()));
    EXPECT_EQ(std::memcmp(bytes.data(), image.data() + kBlock, bytes.size()), 0);
    const char16_t key[] = u"VS_VERSION_INFO";
    EXPECT_EQ(std::memcmp(bytes.data() + 6, key, sizeof key), 0);
  }
}

TEST(PeImage, BrokenImagesFailWithTheirCode) {
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    DWORD code;
  } cases[] = {
      {"empty file", [](std::string& i) { i.clear(); }, ERROR_BAD_EXE_FORMAT},
      {"text file", [](std::string& i) { i = "just some text, long enough to be read as a header "
                                             "if nobody checked the magic at all...."; },
       ERROR_BAD_EXE_FORMAT},
      {"MZ alone", [](std::string& i) { i.resize(2); }, ERROR_BAD_EXE_FORMAT},
      {"PE header past the end", [](std::string& i) { Put32(i, kNewHeaderField, 0xFFFFFFF0); },
       ERROR_BAD_EXE_FORMAT},
      {"no PE signature", [](std::string& i) { i[kPeHeader] = 'N'; i[kPeHeader + 1] = 'E'; },
       ERROR_BAD_EXE_FORMAT},
      {"unknown optional header", [](std::string& i) { Put16(i, kOptionalHeader, 0x0107); },
       ERROR_BAD_EXE_FORMAT},
      {"section table past the end", [](std::string& i) { Put16(i, kSectionCount, 0xFFFF); },
       ERROR_BAD_EXE_FORMAT},
      {"headers cut short", [](std::string& i) { i.resize(kOptionalHeader + 50); },
       ERROR_BAD_EXE_FORMAT},
      {"no resource directory entry", [](std::string& i) { Put32(i, kDirectoryCount, 2); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"no resource directory", [](std::string& i) { Put32(i, kResourceDirectory, 0); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"resource directory in no section",
       [](std::string& i) { Put32(i, kResourceDirectory, 0x00F00000); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"resources cut off", [](std::string& i) { i.resize(kResources + 0x20); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"types out of order", [](std::string& i) { Put16(i, kResources + 14, 3); },
       ERROR_RESOURCE_TYPE_NOT_FOUND},
      {"version type a leaf", [](std::string& i) { Put32(i, kTypeEntry + 4, 0x18); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"no name", [](std::string& i) { Put16(i, kNameDirectory + 14, 0); },
       ERROR_RESOURCE_NAME_NOT_FOUND},
      {"no language", [](std::string& i) { Put16(i, kLanguageDirectory + 14, 0); },
       ERROR_RESOURCE_LANG_NOT_FOUND},
      {"language a directory", [](std::string& i) { Put32(i, kLanguageEntry + 4, 0x80000000); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"entries beyond the section",
       [](std::string& i) { Put16(i, kLanguageDirectory + 12, 0xFFFF); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"subdirectory beyond the section",
       [](std::string& i) { Put32(i, kTypeEntry + 4, 0xFFFFFFFF); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"data entry beyond the section",
       [](std::string& i) { Put32(i, kLanguageEntry + 4, 0x7FFFFFF0); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"empty resource", [](std::string& i) { Put32(i, kDataEntry + 4, 0); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"resource in no section", [](std::string& i) { Put32(i, kDataEntry, 0x00F00000); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"resource past its section", [](std::string& i) { Put32(i, kDataEntry + 4, 0x7FFFFFFF); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
      {"resource RVA wrapping", [](std::string& i) { Put32(i, kDataEntry, 0xFFFFFFF0); },
       ERROR_RESOURCE_DATA_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string image = BuildExecutable(PeKind::Pe32, Sample());
    c.damage(image);
    std::vector<uint8_t> bytes;
    DWORD code = 0;
    EXPECT_FALSE(Read(image, bytes, code));
    EXPECT_EQ(code, c.code);
    EXPECT_TRUE(bytes.empty());
  }
}

TEST(PeImage, AnImageWithoutVersionResource) {
  std::vector<uint8_t> bytes;
  DWORD code = 0;
  EXPECT_FALSE(Read(BuildExecutable(PeKind::Pe32Plus, std::nullopt), bytes, code));
  EXPECT_EQ(code, static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND));
}

// Of several languages, the neutral one, the user's, the user's without
// territory and English (United States) come first, in that order; then the
// first listed. Other territories and other English ones don't count. Each is
// looked for by binary search, as Windows (and Wine) do: in a directory that
// is not in ascending order, a listed language may not be found.
TEST(PeImage, PicksTheLanguageAUserIsShown) {
  auto tagged = [](const char16_t* name) {
    return SpanishVersionResource({{u"ProductName", name}});
  };
  struct Case {
    std::vector<std::pair<uint16_t, VersionResource>> languages;
    LANGID user;
    const char16_t* expected;
  } cases[] = {
      {{{0x0401, tagged(u"ar")}, {0x0409, tagged(u"en")}, {0x0C0A, tagged(u"es")}}, 0x0C0A, u"es"},
      {{{0x0401, tagged(u"ar")}, {0x0409, tagged(u"en")}, {0x0C0A, tagged(u"es")}}, 0x0407, u"en"},
      {{{0x0401, tagged(u"ar")}, {0x0409, tagged(u"en")}, {0x0C0A, tagged(u"es")}}, 0x080A, u"en"},
      {{{0x0401, tagged(u"ar")}, {0x000A, tagged(u"es")}, {0x0409, tagged(u"en")}}, 0x080A, u"es"},
      // Not in order: the search for 0409 turns back at 040A.
      {{{0x0401, tagged(u"ar")}, {0x040A, tagged(u"es")}, {0x0409, tagged(u"en")}}, 0x080A, u"ar"},
      {{{0x0401, tagged(u"ar")}, {0x0409, tagged(u"en")}, {0x040A, tagged(u"es")}}, 0x080A, u"en"},
      {{{0x0407, tagged(u"de")}, {0x0C0A, tagged(u"es")}, {0x0409, tagged(u"en")}}, 0x0409, u"de"},
      {{{0x0407, tagged(u"de")}, {0x0C0A, tagged(u"es")}, {0x0409, tagged(u"en")}}, 0x0C0A, u"es"},
      {{{0x0407, tagged(u"de")}, {0x0C0A, tagged(u"es")}, {0x0409, tagged(u"en")}}, 0x080A, u"de"},
      {{{0x040C, tagged(u"fr")}, {0x0410, tagged(u"it")}, {0x0407, tagged(u"de")},
        {0x0409, tagged(u"en")}, {0x0C0A, tagged(u"es")}}, 0x080A, u"en"},
      {{{0x0C0A, tagged(u"es")}, {0x0409, tagged(u"en")}, {0x0407, tagged(u"de")},
        {0x040C, tagged(u"fr")}, {0x0410, tagged(u"it")}}, 0x0409, u"es"},
      {{{0x0401, tagged(u"ar")}, {0x080A, tagged(u"mx")}}, 0x080A, u"mx"},
      {{{0x0401, tagged(u"ar")}, {0x0009, tagged(u"en")}}, 0x0407, u"ar"},
      {{{0x0401, tagged(u"ar")}, {0x0809, tagged(u"gb")}}, 0x0407, u"ar"},
      {{{0x0000, tagged(u"neutral")}, {0x0401, tagged(u"ar")}, {0x0C0A, tagged(u"es")}}, 0x0C0A,
       u"neutral"},
      {{{0x0401, tagged(u"ar")}, {0x0407, tagged(u"de")}}, 0x0C0A, u"ar"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "user language " << c.user);
    std::vector<uint8_t> bytes;
    DWORD code = 0;
    ASSERT_TRUE(Read(BuildMultilingualExecutable(PeKind::Pe32, c.languages), bytes, code, c.user));
    const std::u16string expected = c.expected;
    const std::string needle(reinterpret_cast<const char*>(expected.c_str()),
                             (expected.size() + 1) * 2);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(needle), std::string::npos);
  }
}

// A resource larger than any block can address is cut where addressing ends.
TEST(PeImage, ResourceSizeIsCapped) {
  std::string image = BuildExecutable(PeKind::Pe32, Sample());
  const uint32_t big = kMaxVersionResourceSize + 0x1000;
  image.resize(kResources + big + 0x200, '\0');
  Put32(image, kOptionalHeader + 224 + 40 + 16, big + 0x200);  // .rsrc raw size
  Put32(image, kDataEntry + 4, big);
  std::vector<uint8_t> bytes;
  DWORD code = 0;
  ASSERT_TRUE(Read(image, bytes, code));
  EXPECT_EQ(bytes.size(), kMaxVersionResourceSize);
}

}  // namespace
}  // namespace posix
