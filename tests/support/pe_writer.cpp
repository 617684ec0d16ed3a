// A small but complete image: DOS header, PE signature, COFF header, an
// optional header with its 16 data directories, a .text section holding
// "xor eax, eax; ret" at the entry point, and a .rsrc section whose resource
// directory holds the version resource (type 16, name 1, one language).
#include "support/pe_writer.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kFileAlignment = 0x200;
constexpr uint32_t kSectionAlignment = 0x1000;
constexpr uint32_t kHeadersSize = 0x200;
constexpr uint32_t kTextRva = 0x1000;
constexpr uint32_t kTextFileOffset = 0x200;
constexpr uint32_t kResourceRva = 0x2000;
constexpr uint32_t kResourceFileOffset = 0x400;
constexpr uint32_t kPeHeaderOffset = 0x40;
constexpr uint16_t kVersionType = 16;
constexpr uint16_t kVersionName = 1;

uint32_t AlignUp(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// Little-endian bytes, written in order or patched in place.
class Bytes {
 public:
  void U8(uint8_t v) { data_.push_back(static_cast<char>(v)); }
  void U16(uint16_t v) {
    U8(static_cast<uint8_t>(v & 0xFF));
    U8(static_cast<uint8_t>(v >> 8));
  }
  void U32(uint32_t v) {
    U16(static_cast<uint16_t>(v & 0xFFFF));
    U16(static_cast<uint16_t>(v >> 16));
  }
  void U64(uint64_t v) {
    U32(static_cast<uint32_t>(v));
    U32(static_cast<uint32_t>(v >> 32));
  }
  void Text(const std::u16string& text) {
    for (char16_t c : text) U16(c);
    U16(0);
  }
  void Raw(const std::string& bytes) { data_ += bytes; }
  void PadTo(size_t size) { data_.resize(std::max(data_.size(), size), '\0'); }
  void Align(size_t alignment) { PadTo((data_.size() + alignment - 1) / alignment * alignment); }
  void PatchU16(size_t at, uint16_t v) {
    data_[at] = static_cast<char>(v & 0xFF);
    data_[at + 1] = static_cast<char>(v >> 8);
  }
  size_t Size() const { return data_.size(); }
  const std::string& Data() const { return data_; }

 private:
  std::string data_;
};

// One node of the version block: header, key, value, then its children, each
// on a 32-bit boundary. The node's wLength is patched once its children are in.
class NodeWriter {
 public:
  NodeWriter(Bytes& out, const std::u16string& key, uint16_t valueLength, uint16_t type)
      : out_(out), start_(out.Size()) {
    out_.U16(0);
    out_.U16(valueLength);
    out_.U16(type);
    out_.Text(key);
    out_.Align(4);
  }
  void Close() { out_.PatchU16(start_, static_cast<uint16_t>(out_.Size() - start_)); }

 private:
  Bytes& out_;
  size_t start_;
};

// The four 16-bit parts of a "1.2.3.4" version text; missing parts are 0.
void VersionNumbers(const std::u16string& text, uint16_t parts[4]) {
  size_t part = 0;
  for (char16_t c : text) {
    if (c >= u'0' && c <= u'9') {
      parts[part] = static_cast<uint16_t>(parts[part] * 10 + (c - u'0'));
    } else if ((c == u'.' || c == u',') && part < 3) {
      ++part;
    } else if (c != u' ') {
      break;
    }
  }
}

void WriteFixedFileInfo(Bytes& out, const VersionResource& version) {
  uint16_t parts[4] = {0, 0, 0, 0};
  for (const VersionStringTable& table : version.stringTables) {
    for (const auto& [name, value] : table.strings) {
      if (name == u"FileVersion") VersionNumbers(value, parts);
    }
  }
  const uint32_t most = uint32_t{parts[0]} << 16 | parts[1];
  const uint32_t least = uint32_t{parts[2]} << 16 | parts[3];
  out.U32(0xFEEF04BD);  // signature
  out.U32(0x00010000);  // structure version
  out.U32(most);        // file version
  out.U32(least);
  out.U32(most);        // product version
  out.U32(least);
  out.U32(0x3F);        // flags mask
  out.U32(0);           // flags
  out.U32(0x00040004);  // VOS_NT_WINDOWS32
  out.U32(1);           // VFT_APP
  out.U32(0);           // subtype
  out.U32(0);           // date
  out.U32(0);
}

constexpr uint16_t kFixedFileInfoSize = 52;
constexpr uint16_t kBinary = 0;
constexpr uint16_t kText = 1;

std::string VersionBlock(const VersionResource& version) {
  Bytes out;
  NodeWriter root(out, u"VS_VERSION_INFO", kFixedFileInfoSize, kBinary);
  WriteFixedFileInfo(out, version);
  out.Align(4);

  NodeWriter strings(out, u"StringFileInfo", 0, kText);
  for (const VersionStringTable& table : version.stringTables) {
    NodeWriter tableNode(out, table.key, 0, kText);
    for (const auto& [name, value] : table.strings) {
      NodeWriter string(out, name, static_cast<uint16_t>(value.size() + 1), kText);
      out.Text(value);
      string.Close();
      out.Align(4);
    }
    tableNode.Close();
    out.Align(4);
  }
  strings.Close();
  out.Align(4);

  NodeWriter vars(out, u"VarFileInfo", 0, kText);
  if (version.withTranslationValue) {
    NodeWriter translation(out, u"Translation",
                           static_cast<uint16_t>(4 * version.translations.size()), kBinary);
    for (const auto& [language, codePage] : version.translations) {
      out.U16(language);
      out.U16(codePage);
    }
    translation.Close();
  }
  vars.Close();
  root.Close();
  return out.Data();
}

// The .rsrc section: the three directory levels, a data entry and a version
// block per language; only the root directory when there is no resource.
std::string ResourceSection(const std::vector<std::pair<uint16_t, VersionResource>>& languages) {
  Bytes out;
  auto directory = [&out](uint16_t idEntries) {
    out.U32(0);  // characteristics
    out.U32(0);  // time stamp
    out.U16(4);  // version 4.0
    out.U16(0);
    out.U16(0);  // named entries
    out.U16(idEntries);
  };
  if (languages.empty()) {
    directory(0);
    return out.Data();
  }
  constexpr uint32_t kSubdirectory = 0x80000000u;
  const uint32_t count = static_cast<uint32_t>(languages.size());
  const uint32_t dataEntriesAt = 0x30 + 16 + 8 * count;
  directory(1);
  out.U32(kVersionType);
  out.U32(kSubdirectory | 0x18);
  directory(1);
  out.U32(kVersionName);
  out.U32(kSubdirectory | 0x30);
  directory(static_cast<uint16_t>(count));
  for (uint32_t i = 0; i < count; ++i) {
    out.U32(languages[i].first);
    out.U32(dataEntriesAt + 16 * i);
  }
  std::vector<std::string> blocks;
  uint32_t blockAt = AlignUp(dataEntriesAt + 16 * count, 8);
  for (const auto& [language, version] : languages) {
    blocks.push_back(VersionBlock(version));
    out.U32(kResourceRva + blockAt);
    out.U32(version.claimedSize != 0 ? version.claimedSize
                                     : static_cast<uint32_t>(blocks.back().size()));
    out.U32(0);  // code page
    out.U32(0);
    blockAt = AlignUp(blockAt + static_cast<uint32_t>(blocks.back().size()), 8);
  }
  for (const std::string& block : blocks) {
    out.Align(8);
    out.Raw(block);
  }
  return out.Data();
}

void WriteSectionHeader(Bytes& out, const char* name, uint32_t virtualSize, uint32_t rva,
                        uint32_t rawSize, uint32_t rawOffset, uint32_t characteristics) {
  char padded[8] = {};
  std::memcpy(padded, name, std::strlen(name));
  for (char c : padded) out.U8(static_cast<uint8_t>(c));
  out.U32(virtualSize);
  out.U32(rva);
  out.U32(rawSize);
  out.U32(rawOffset);
  out.U32(0);  // relocations
  out.U32(0);  // line numbers
  out.U16(0);
  out.U16(0);
  out.U32(characteristics);
}

std::string Executable(PeKind kind, const std::string& resources) {
  const bool plus = kind == PeKind::Pe32Plus;
  const uint32_t resourceSize = static_cast<uint32_t>(resources.size());
  const uint32_t resourceRawSize = AlignUp(resourceSize, kFileAlignment);
  const uint32_t imageSize = kResourceRva + AlignUp(resourceSize, kSectionAlignment);

  Bytes out;
  // DOS header: "MZ" and, at 0x3C, where the PE header starts.
  out.U16(0x5A4D);
  out.PadTo(0x3C);
  out.U32(kPeHeaderOffset);
  out.PadTo(kPeHeaderOffset);

  out.U32(0x00004550);                 // "PE\0\0"
  out.U16(plus ? 0x8664 : 0x014C);     // machine: AMD64 or i386
  out.U16(2);                          // sections
  out.U32(0);                          // time stamp
  out.U32(0);                          // symbol table
  out.U32(0);
  out.U16(plus ? 240 : 224);           // optional header size
  out.U16(plus ? 0x0022 : 0x0102);     // executable; large-address-aware or 32-bit

  out.U16(plus ? 0x020B : 0x010B);
  out.U8(1);                           // linker version
  out.U8(0);
  out.U32(kFileAlignment);             // size of code
  out.U32(resourceRawSize);            // size of initialised data
  out.U32(0);
  out.U32(kTextRva);                   // entry point
  out.U32(kTextRva);                   // base of code
  if (plus) {
    out.U64(0x140000000ull);           // image base
  } else {
    out.U32(kResourceRva);             // base of data
    out.U32(0x00400000);               // image base
  }
  out.U32(kSectionAlignment);
  out.U32(kFileAlignment);
  out.U16(6);                          // operating system version
  out.U16(0);
  out.U16(0);                          // image version
  out.U16(0);
  out.U16(6);                          // subsystem version
  out.U16(0);
  out.U32(0);                          // Win32 version value
  out.U32(imageSize);
  out.U32(kHeadersSize);
  out.U32(0);                          // checksum
  out.U16(3);                          // console subsystem
  out.U16(0x0100);                     // NX compatible
  for (int i = 0; i < 4; ++i) {        // stack and heap reserve and commit
    uint32_t amount = i % 2 == 0 ? 0x100000 : 0x1000;
    if (plus) out.U64(amount);
    else out.U32(amount);
  }
  out.U32(0);                          // loader flags
  out.U32(16);                         // data directories
  for (int i = 0; i < 16; ++i) {
    out.U32(i == 2 ? kResourceRva : 0);
    out.U32(i == 2 ? resourceSize : 0);
  }

  WriteSectionHeader(out, ".text", 0x10, kTextRva, kFileAlignment, kTextFileOffset,
                     0x60000020);      // code, execute, read
  WriteSectionHeader(out, ".rsrc", resourceSize, kResourceRva, resourceRawSize,
                     kResourceFileOffset, 0x40000040);  // initialised data, read
  out.PadTo(kTextFileOffset);

  out.U8(0x31);  // xor eax, eax
  out.U8(0xC0);
  out.U8(0xC3);  // ret
  out.PadTo(kResourceFileOffset);

  out.Raw(resources);
  out.PadTo(kResourceFileOffset + resourceRawSize);
  return out.Data();
}

}  // namespace

std::string BuildExecutable(PeKind kind, const std::optional<VersionResource>& version) {
  std::vector<std::pair<uint16_t, VersionResource>> languages;
  if (version) {
    const uint16_t language =
        version->translations.empty() ? 0x0409 : version->translations.front().first;
    languages.emplace_back(language, *version);
  }
  return Executable(kind, ResourceSection(languages));
}

std::string BuildMultilingualExecutable(
    PeKind kind, const std::vector<std::pair<uint16_t, VersionResource>>& languages) {
  return Executable(kind, ResourceSection(languages));
}

VersionResource SpanishVersionResource(
    std::vector<std::pair<std::u16string, std::u16string>> strings) {
  VersionResource resource;
  resource.translations = {{0x0C0A, 0x04B0}};
  resource.stringTables = {{u"0C0A04B0", std::move(strings)}};
  return resource;
}
