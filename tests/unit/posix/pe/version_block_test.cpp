// Lookups in version blocks: well-formed ones from the tests' writer, and
// broken ones whose lengths claim more than they hold.
#include "platform/posix/pe/version_block.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/posix/pe/pe_image.h"
#include "support/pe_writer.h"

namespace posix {
namespace {

std::vector<uint8_t> Block(const VersionResource& resource) {
  const std::string image = BuildExecutable(PeKind::Pe32, resource);
  MemoryImage source(reinterpret_cast<const uint8_t*>(image.data()), image.size());
  std::vector<uint8_t> bytes;
  DWORD code = 0;
  EXPECT_TRUE(ReadVersionResource(source, 0x0409, bytes, code));
  return bytes;
}

// The text at a found value, read up to its NUL inside the block.
std::u16string TextAt(const std::vector<uint8_t>& block, const VersionValue& value) {
  std::u16string text;
  for (size_t at = value.offset; at + 2 <= block.size(); at += 2) {
    char16_t c;
    std::memcpy(&c, &block[at], 2);
    if (c == 0) return text;
    text += c;
  }
  ADD_FAILURE() << "no NUL before the block's end";
  return text;
}

const VersionResource kSample = SpanishVersionResource({
    {u"CompanyName", u"ZARVEK"},
    {u"OriginalFilename", u"XNMPAYRO.exe"},
    {u"Comments", u""},
});

TEST(VersionBlock, StringsByQueryPathWithoutRegardToCase) {
  const std::vector<uint8_t> block = Block(kSample);
  struct Case {
    const char16_t* query;
    const char16_t* text;  // null: not found
  } cases[] = {
      {u"\\StringFileInfo\\0C0A04B0\\CompanyName", u"ZARVEK"},
      {u"\\StringFileInfo\\0C0A04B0\\OriginalFileName", u"XNMPAYRO.exe"},
      {u"\\stringfileinfo\\0c0a04b0\\ORIGINALFILENAME", u"XNMPAYRO.exe"},
      {u"StringFileInfo\\\\0C0A04B0\\CompanyName\\", u"ZARVEK"},
      {u"\\StringFileInfo\\0C0A04B0\\Comments", u""},
      {u"\\StringFileInfo\\0C0A04B0\\ProductName", nullptr},
      {u"\\StringFileInfo\\040904B0\\CompanyName", nullptr},
      {u"\\StringFileInfo\\0C0A04B0\\CompanyNam", nullptr},
      {u"\\StringFileInfo\\0C0A04B0\\CompanyNameX", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
    VersionValue value;
    const bool found = FindVersionValue(block.data(), block.size(), c.query, value);
    EXPECT_EQ(found, c.text != nullptr);
    if (found && c.text != nullptr) {
      EXPECT_EQ(TextAt(block, value), c.text);
    }
  }
}

TEST(VersionBlock, TranslationTableAndFixedInformation) {
  const std::vector<uint8_t> block = Block(kSample);
  VersionValue value;
  ASSERT_TRUE(FindVersionValue(block.data(), block.size(), u"\\VarFileInfo\\Translation\\", value));
  ASSERT_EQ(value.length, 4u);
  EXPECT_EQ(std::memcmp(&block[value.offset], "\x0A\x0C\xB0\x04", 4), 0);

  ASSERT_TRUE(FindVersionValue(block.data(), block.size(), u"\\", value));
  ASSERT_EQ(value.length, 52u);
  uint32_t signature;
  std::memcpy(&signature, &block[value.offset], 4);
  EXPECT_EQ(signature, 0xFEEF04BDu);
}

TEST(VersionBlock, TranslationWithoutValueOrWithoutEntry) {
  VersionResource empty = kSample;
  empty.translations.clear();
  std::vector<uint8_t> block = Block(empty);
  VersionValue value;
  ASSERT_TRUE(FindVersionValue(block.data(), block.size(), u"\\VarFileInfo\\Translation", value));
  EXPECT_EQ(value.length, 0u);

  VersionResource none = kSample;
  none.withTranslationValue = false;
  block = Block(none);
  EXPECT_FALSE(FindVersionValue(block.data(), block.size(), u"\\VarFileInfo\\Translation", value));
}

// Every cut of a block, with its own length left claiming the whole: nothing
// is read beyond the cut, and a text found still ends inside it.
TEST(VersionBlock, CutBlocksStayInBounds) {
  const std::vector<uint8_t> whole = Block(kSample);
  for (size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(size));
    for (const char16_t* query : {u"\\StringFileInfo\\0C0A04B0\\CompanyName",
                                  u"\\StringFileInfo\\0C0A04B0\\Comments",
                                  u"\\VarFileInfo\\Translation\\", u"\\"}) {
      VersionValue value;
      if (!FindVersionValue(cut.data(), cut.size(), query, value)) continue;
      EXPECT_LE(value.offset, cut.size());
      if (std::u16string_view(query).find(u"StringFileInfo") != std::u16string_view::npos) {
        TextAt(cut, value);
      } else {
        EXPECT_LE(value.offset + value.length, cut.size());
      }
    }
  }
}

TEST(VersionBlock, TextWithoutItsNulIsNotFound) {
  std::vector<uint8_t> block =
      Block(SpanishVersionResource({{u"CompanyName", u"ABC"}}));
  // Overwrite the value's NUL and the padding after it.
  const std::u16string value = u"ABC";
  auto at = std::search(block.begin(), block.end(), reinterpret_cast<const uint8_t*>(value.data()),
                        reinterpret_cast<const uint8_t*>(value.data()) + 6);
  ASSERT_NE(at, block.end());
  const size_t nul = static_cast<size_t>(at - block.begin()) + 6;
  block[nul] = 'D';
  block[nul + 1] = 0;
  block[nul + 2] = 'E';
  block[nul + 3] = 0;
  VersionValue found;
  EXPECT_FALSE(FindVersionValue(block.data(), block.size(), u"\\StringFileInfo\\0C0A04B0\\CompanyName", found));
}

TEST(VersionBlock, NodesShorterThanAHeaderEndTheSearch) {
  std::vector<uint8_t> block = Block(kSample);
  // StringFileInfo follows the 92-byte root header and fixed information.
  block[92] = 4;
  block[93] = 0;
  VersionValue value;
  EXPECT_FALSE(FindVersionValue(block.data(), block.size(), u"\\StringFileInfo\\0C0A04B0\\CompanyName", value));
  EXPECT_TRUE(FindVersionValue(block.data(), block.size(), u"\\", value));
  EXPECT_FALSE(FindVersionValue(nullptr, 0, u"\\", value));
}

TEST(VersionBlock, FitBlockLengthCutsTheRootLength) {
  std::vector<uint8_t> block = {0xFF, 0x01, 0, 0, 0, 0, 0, 0};
  FitBlockLength(block.data(), block.size());
  EXPECT_EQ(block[0], 8);
  EXPECT_EQ(block[1], 0);
  block = {4, 0, 0, 0, 0, 0};
  FitBlockLength(block.data(), block.size());
  EXPECT_EQ(block[0], 4);
}

}  // namespace
}  // namespace posix
