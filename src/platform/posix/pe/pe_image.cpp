#include "platform/posix/pe/pe_image.h"

#include <algorithm>
#include <cstring>

namespace posix {
namespace {

constexpr uint16_t kDosMagic = 0x5A4D;            // "MZ"
constexpr uint32_t kPeSignature = 0x00004550;     // "PE\0\0"
constexpr uint16_t kPe32Magic = 0x010B;
constexpr uint16_t kPe32PlusMagic = 0x020B;
constexpr size_t kDosHeaderSize = 64;
constexpr size_t kNewHeaderOffsetField = 0x3C;    // e_lfanew
constexpr size_t kCoffHeaderSize = 20;
constexpr size_t kSectionHeaderSize = 40;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr uint32_t kVersionResourceType = 16;     // RT_VERSION
constexpr uint32_t kHighBit = 0x80000000u;        // named entry / subdirectory
constexpr size_t kResourceDirectorySize = 16;
constexpr size_t kResourceEntrySize = 8;
constexpr size_t kResourceDataEntrySize = 16;

uint16_t WordAt(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t DwordAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

struct Section {
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
};

// What the headers say: the sections and where the resource directory lies.
struct Headers {
  std::vector<Section> sections;
  uint32_t resourceRva = 0;
  uint32_t resourceSize = 0;

  // The file offset of the bytes at [rva, rva + length): they must lie in the
  // raw data of one section.
  bool FileOffsetOf(uint32_t rva, uint32_t length, uint64_t& offset) const {
    for (const Section& section : sections) {
      if (rva < section.virtualAddress) continue;
      uint64_t into = uint64_t{rva} - section.virtualAddress;
      if (into >= section.rawSize || into + length > section.rawSize) continue;
      offset = uint64_t{section.rawOffset} + into;
      return true;
    }
    return false;
  }
};

// A header field range that isn't in the file means the file is no
// executable; any other read failure keeps its own code.
bool ReadHeader(const ImageSource& image, uint64_t offset, void* out, size_t length,
                DWORD& code) {
  if (offset > image.Size() || length > image.Size() - offset) {
    code = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  return image.Read(offset, out, length, code);
}

bool LoadHeaders(const ImageSource& image, Headers& headers, DWORD& code) {
  uint8_t dos[kDosHeaderSize];
  if (!ReadHeader(image, 0, dos, sizeof dos, code)) return false;
  if (WordAt(dos) != kDosMagic) {
    code = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  const uint64_t peOffset = DwordAt(dos + kNewHeaderOffsetField);

  uint8_t coff[4 + kCoffHeaderSize];
  if (!ReadHeader(image, peOffset, coff, sizeof coff, code)) return false;
  if (DwordAt(coff) != kPeSignature) {
    code = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  const uint16_t sectionCount = WordAt(coff + 4 + 2);
  const uint16_t optionalSize = WordAt(coff + 4 + 16);
  const uint64_t optionalOffset = peOffset + sizeof coff;

  // The optional header: its magic tells where the data directories begin.
  std::vector<uint8_t> optional(optionalSize);
  if (!ReadHeader(image, optionalOffset, optional.data(), optional.size(), code)) return false;
  if (optional.size() < 2) {
    code = ERROR_BAD_EXE_FORMAT;
    return false;
  }
  size_t countField = 0;
  switch (WordAt(optional.data())) {
    case kPe32Magic: countField = 92; break;
    case kPe32PlusMagic: countField = 108; break;
    default:
      code = ERROR_BAD_EXE_FORMAT;
      return false;
  }
  const size_t directoriesAt = countField + 4;
  const size_t resourceEntryAt = directoriesAt + 8 * kResourceDirectoryIndex;
  if (optional.size() >= countField + 4 && optional.size() >= resourceEntryAt + 8 &&
      DwordAt(optional.data() + countField) > kResourceDirectoryIndex) {
    headers.resourceRva = DwordAt(optional.data() + resourceEntryAt);
    headers.resourceSize = DwordAt(optional.data() + resourceEntryAt + 4);
  }

  std::vector<uint8_t> table(size_t{sectionCount} * kSectionHeaderSize);
  if (!ReadHeader(image, optionalOffset + optionalSize, table.data(), table.size(), code)) {
    return false;
  }
  headers.sections.reserve(sectionCount);
  for (size_t i = 0; i < sectionCount; ++i) {
    const uint8_t* entry = table.data() + i * kSectionHeaderSize;
    headers.sections.push_back({DwordAt(entry + 12), DwordAt(entry + 16), DwordAt(entry + 20)});
  }
  return true;
}

// Reads bytes of the resource tree, `offset` counted from the resource
// directory's start. A range outside the image is a broken resource section.
bool ReadResourceBytes(const ImageSource& image, const Headers& headers, uint32_t offset,
                       void* out, uint32_t length, DWORD& code) {
  uint64_t rva = uint64_t{headers.resourceRva} + offset;
  uint64_t fileOffset = 0;
  if (rva > UINT32_MAX ||
      !headers.FileOffsetOf(static_cast<uint32_t>(rva), length, fileOffset) ||
      fileOffset > image.Size() || length > image.Size() - fileOffset) {
    code = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  return image.Read(fileOffset, out, length, code);
}

struct DirectoryEntry {
  uint32_t name;    // an ID, or (high bit set) the offset of a name string
  uint32_t target;  // (high bit set) a subdirectory, else a data entry
};

bool ReadDirectory(const ImageSource& image, const Headers& headers, uint32_t offset,
                   std::vector<DirectoryEntry>& entries, DWORD& code) {
  uint8_t header[kResourceDirectorySize];
  if (!ReadResourceBytes(image, headers, offset, header, sizeof header, code)) return false;
  const uint32_t count = uint32_t{WordAt(header + 12)} + WordAt(header + 14);
  std::vector<uint8_t> raw(size_t{count} * kResourceEntrySize);
  if (count > 0 && !ReadResourceBytes(image, headers, offset + kResourceDirectorySize,
                                      raw.data(), static_cast<uint32_t>(raw.size()), code)) {
    return false;
  }
  entries.clear();
  for (uint32_t i = 0; i < count; ++i) {
    entries.push_back({DwordAt(&raw[i * kResourceEntrySize]),
                       DwordAt(&raw[i * kResourceEntrySize + 4])});
  }
  return true;
}

// The subdirectory an entry leads to; a leaf where a level is expected means
// the tree is broken.
bool SubdirectoryOf(const DirectoryEntry& entry, uint32_t& offset, DWORD& code) {
  if ((entry.target & kHighBit) == 0) {
    code = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  offset = entry.target & ~kHighBit;
  return true;
}

constexpr LANGID kPrimaryMask = 0x3FF;
constexpr LANGID kEnglishUnitedStates = 0x0409;

// The entry with an ID, found as the Windows loader finds it: by binary
// search among the ID entries (which follow the named ones), since a
// directory lists its IDs in ascending order. In a directory that does not,
// an ID the search misses is not found although it is listed, and the search
// must halve exactly as the loader's does to miss the same ones.
const DirectoryEntry* EntryWithId(const std::vector<DirectoryEntry>& entries, uint32_t id) {
  size_t first = 0;
  while (first < entries.size() && (entries[first].name & kHighBit) != 0) ++first;
  long long low = static_cast<long long>(first);
  long long high = static_cast<long long>(entries.size()) - 1;
  while (low <= high) {
    const long long middle = (low + high) / 2;
    const uint32_t name = entries[static_cast<size_t>(middle)].name;
    if (name == id) return &entries[static_cast<size_t>(middle)];
    if (name > id) {
      high = middle - 1;
    } else {
      low = middle + 1;
    }
  }
  return nullptr;
}

// The language entry a user of `userLanguage` is shown: the neutral one, the
// user's own, the user's language without territory, English (United
// States), and failing those the first listed.
const DirectoryEntry& PreferredLanguage(const std::vector<DirectoryEntry>& entries,
                                        LANGID userLanguage) {
  const uint32_t preferred[] = {LANG_NEUTRAL, userLanguage,
                                static_cast<uint32_t>(userLanguage & kPrimaryMask),
                                kEnglishUnitedStates};
  for (uint32_t language : preferred) {
    if (const DirectoryEntry* found = EntryWithId(entries, language)) return *found;
  }
  return entries.front();
}

}  // namespace

bool MemoryImage::Read(uint64_t offset, void* out, size_t length, DWORD& code) const {
  if (offset > size_ || length > size_ - offset) {
    code = ERROR_HANDLE_EOF;
    return false;
  }
  if (length > 0) std::memcpy(out, data_ + offset, length);
  return true;
}

bool FindVersionResource(const ImageSource& image, LANGID userLanguage, ResourceSpan& span,
                         DWORD& code) {
  Headers headers;
  if (!LoadHeaders(image, headers, code)) return false;
  if (headers.resourceRva == 0) {
    code = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }

  // Level 1: the resource types; the version resource's type is an ID.
  std::vector<DirectoryEntry> entries;
  if (!ReadDirectory(image, headers, 0, entries, code)) return false;
  const DirectoryEntry* type = EntryWithId(entries, kVersionResourceType);
  if (type == nullptr) {
    code = ERROR_RESOURCE_TYPE_NOT_FOUND;
    return false;
  }
  uint32_t namesAt = 0;
  if (!SubdirectoryOf(*type, namesAt, code)) return false;

  // Level 2: the first name.
  if (!ReadDirectory(image, headers, namesAt, entries, code)) return false;
  if (entries.empty()) {
    code = ERROR_RESOURCE_NAME_NOT_FOUND;
    return false;
  }
  uint32_t languagesAt = 0;
  if (!SubdirectoryOf(entries.front(), languagesAt, code)) return false;

  // Level 3: the language, which must be a data entry.
  if (!ReadDirectory(image, headers, languagesAt, entries, code)) return false;
  if (entries.empty()) {
    code = ERROR_RESOURCE_LANG_NOT_FOUND;
    return false;
  }
  const DirectoryEntry& language = PreferredLanguage(entries, userLanguage);
  if ((language.target & kHighBit) != 0) {
    code = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  uint8_t dataEntry[kResourceDataEntrySize];
  if (!ReadResourceBytes(image, headers, language.target, dataEntry, sizeof dataEntry, code)) {
    return false;
  }

  // The data entry gives the bytes by RVA, which must map into the file.
  const uint32_t dataRva = DwordAt(dataEntry);
  const uint32_t size = std::min(DwordAt(dataEntry + 4), kMaxVersionResourceSize);
  uint64_t fileOffset = 0;
  if (size == 0 || !headers.FileOffsetOf(dataRva, size, fileOffset) ||
      fileOffset > image.Size() || size > image.Size() - fileOffset) {
    code = ERROR_RESOURCE_DATA_NOT_FOUND;
    return false;
  }
  span.fileOffset = fileOffset;
  span.size = size;
  return true;
}

bool ReadVersionResource(const ImageSource& image, LANGID userLanguage,
                         std::vector<uint8_t>& bytes, DWORD& code) {
  ResourceSpan span;
  if (!FindVersionResource(image, userLanguage, span, code)) return false;
  std::vector<uint8_t> data(span.size);
  if (!image.Read(span.fileOffset, data.data(), data.size(), code)) return false;
  bytes = std::move(data);
  return true;
}

}  // namespace posix
