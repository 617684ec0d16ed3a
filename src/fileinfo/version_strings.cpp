#include "fileinfo/version_info.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "console/exceptions.h"
#include "fileinfo/os_error.h"
#include "platform/win32.h"

namespace {

constexpr const char16_t* kTranslationPath = u"\\VarFileInfo\\Translation\\";
constexpr const char16_t* kStringsPath = u"\\StringFileInfo\\";
constexpr UINT kTranslationEntrySize = 4;  // language, code page

struct VersionString {
  const char16_t* name;
  Text TEXEVersionData::*field;
};

constexpr VersionString kVersionStrings[] = {
    {u"\\CompanyName", &TEXEVersionData::CompanyName},
    {u"\\FileDescription", &TEXEVersionData::FileDescription},
    {u"\\FileVersion", &TEXEVersionData::FileVersion},
    {u"\\InternalName", &TEXEVersionData::InternalName},
    {u"\\LegalCopyright", &TEXEVersionData::LegalCopyright},
    {u"\\LegalTrademarks", &TEXEVersionData::LegalTrademarks},
    {u"\\OriginalFileName", &TEXEVersionData::OriginalFileName},
    {u"\\ProductName", &TEXEVersionData::ProductName},
    {u"\\ProductVersion", &TEXEVersionData::ProductVersion},
    {u"\\Comments", &TEXEVersionData::Comments},
    {u"\\PrivateBuild", &TEXEVersionData::PrivateBuild},
    {u"\\SpecialBuild", &TEXEVersionData::SpecialBuild},
};

// The work buffer: exactly the size the size query reports, released with
// the call however it ends.
using WorkBuffer = std::vector<uint8_t>;

// Where an address the value query returned lies in the work buffer; the
// buffer's end when it lies outside.
size_t OffsetIn(const WorkBuffer& buffer, const void* address) {
  const auto* byte = static_cast<const uint8_t*>(address);
  if (byte < buffer.data() || byte > buffer.data() + buffer.size()) return buffer.size();
  return static_cast<size_t>(byte - buffer.data());
}

// "%.4X": four upper-case hexadecimal digits.
Text HexWord(uint16_t word) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  Text text;
  for (int shift = 12; shift >= 0; shift -= 4) text += kDigits[(word >> shift) & 0xF];
  return text;
}

// The text at an address in the buffer, up to its first NUL; it never reads
// past the buffer, whatever the resource holds.
Text TextAt(const WorkBuffer& buffer, const void* address) {
  Text text;
  for (size_t at = OffsetIn(buffer, address); at + 2 <= buffer.size(); at += 2) {
    char16_t c;
    std::memcpy(&c, buffer.data() + at, sizeof c);
    if (c == 0) break;
    text += c;
  }
  return text;
}

[[noreturn]] void RaiseOSError(uint32_t code) { throw EOSError(code, OSErrorMessage(code)); }

// The string-table key of the resource's first translation entry, e.g.
// 0C0A04B0.
Text FirstTranslationKey(const WorkBuffer& buffer) {
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(buffer.data(), W(kTranslationPath), &value, &length)) RaiseLastOSError();
  // A value too short for one entry is no table at all.
  const size_t at = OffsetIn(buffer, value);
  if (length < kTranslationEntrySize || buffer.size() - at < kTranslationEntrySize) {
    RaiseOSError(ERROR_RESOURCE_TYPE_NOT_FOUND);
  }
  uint16_t language;
  uint16_t codePage;
  std::memcpy(&language, buffer.data() + at, sizeof language);
  std::memcpy(&codePage, buffer.data() + at + 2, sizeof codePage);
  return HexWord(language) + HexWord(codePage);
}

}  // namespace

TEXEVersionData ReadVersionStrings(const Text& FileName) {
  DWORD unused = 0;
  const DWORD size = GetFileVersionInfoSizeW(W(FileName), &unused);
  if (size == 0) RaiseLastOSError();

  WorkBuffer buffer(size);
  if (!GetFileVersionInfoW(W(FileName), 0, size, buffer.data())) RaiseLastOSError();

  TEXEVersionData record;
  const Text key = FirstTranslationKey(buffer);
  for (const VersionString& string : kVersionStrings) {
    void* value = nullptr;
    UINT length = 0;
    const Text path = kStringsPath + key + string.name;
    if (VerQueryValueW(buffer.data(), W(path), &value, &length)) {
      record.*string.field = TextAt(buffer, value);
    }
  }
  return record;
}
